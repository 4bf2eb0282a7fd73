// velloway-check's command line: its options in each spelling, and what it refuses.
#include "check_options.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace velloway::check {
namespace {

TEST(CheckOptions, ReadsTheScriptAndHowToCheckIt) {
  const struct {
    std::vector<std::string> args;
    std::string file;
    bool json, timeline;
    int width, height;
    std::optional<int> lineHeight;
    std::optional<unsigned> codePage;
  } cases[] = {
      {{"a.vws"}, "a.vws", false, false, 1920, 1080, std::nullopt, std::nullopt},
      {{"--timeline", "--screen", "640x480", "--line-height", "20", "a.vws"},
       "a.vws",
       false,
       true,
       640,
       480,
       20,
       std::nullopt},
      {{"a.vws", "--json", "--screen=640x480", "--line-height=10000", "--codepage=932"},
       "a.vws",
       true,
       false,
       640,
       480,
       10000,
       932u},
      {{"--json", "--", "-a.vws"}, "-a.vws", true, false, 1920, 1080, std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    const ParsedCheck parsed = ParseCheckOptions(c.args);
    ASSERT_TRUE(parsed.Options) << parsed.Error;
    const CheckOptions& options = *parsed.Options;
    EXPECT_EQ(options.File, c.file);
    EXPECT_EQ(options.Json, c.json);
    EXPECT_EQ(options.Timeline, c.timeline);
    EXPECT_EQ(options.Screen.WidthPx, c.width);
    EXPECT_EQ(options.Screen.HeightPx, c.height);
    EXPECT_EQ(options.LineHeight, c.lineHeight);
    EXPECT_EQ(options.CodePage, c.codePage);
  }
}

TEST(CheckOptions, RefusesWhatItCannotRead) {
  const struct {
    std::vector<std::string> args;
    std::string error;
  } cases[] = {
      {{}, "which script?"},
      {{"--json"}, "which script?"},
      {{"a.vws", "b.vws"}, "unexpected argument \"b.vws\""},
      {{"--bogus", "a.vws"}, "unknown option \"--bogus\""},
      {{"a.vws", "--screen"}, "--screen needs a value: WIDTHxHEIGHT in pixels, such as 1920x1080"},
      {{"--screen", "0x480", "a.vws"},
       "--screen takes WIDTHxHEIGHT in pixels, such as 1920x1080, not \"0x480\""},
      {{"--line-height=10001", "a.vws"},
       "--line-height takes a number of pixels from 1 to 10000, not \"10001\""},
      {{"--codepage", "0", "a.vws"}, "--codepage takes a code page number, such as 932, not \"0\""},
      {{"--timeline=yes", "a.vws"}, "--timeline takes no value, not \"yes\""},
  };
  for (const auto& c : cases) {
    const ParsedCheck parsed = ParseCheckOptions(c.args);
    EXPECT_FALSE(parsed.Options) << c.error;
    EXPECT_EQ(parsed.Error, c.error);
  }
}

TEST(CheckOptions, AsksForHelpWithoutAScriptInAHelpThatFitsATerminal) {
  EXPECT_TRUE(ParseCheckOptions(std::vector<std::string>{"--help"}).Options->Help);
  EXPECT_TRUE(ParseCheckOptions(std::vector<std::string>{"--version"}).Options->Version);
  std::istringstream help(platform::HelpText(kCheckCommandLine));
  for (std::string line; std::getline(help, line);) EXPECT_LT(line.size(), 80u) << line;
}

}  // namespace
}  // namespace velloway::check
