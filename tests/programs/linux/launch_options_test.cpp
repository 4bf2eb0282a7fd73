// The Linux program's command line: where it plays, the script and the options.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "programs/linux/launch_options.h"

namespace velloway::linux {
namespace {

TEST(LaunchOptions, ReadsThePlaceTheScriptAndTheOptions) {
  struct Case {
    std::vector<std::string> args;
    platform::StageKind stage;
    std::uint32_t windowId;
    std::string script;
    bool smooth;
    bool everyMonitor;
    std::optional<unsigned> codePage;
  };
  const Case cases[] = {
      {{}, platform::StageKind::FullScreen, 0, "", false, false, std::nullopt},
      {{"--root"}, platform::StageKind::Root, 0, "", false, false, std::nullopt},
      {{"-root", "-script", "a b.vws"},
       platform::StageKind::Root,
       0,
       "a b.vws",
       false,
       false,
       std::nullopt},
      {{"--root", "--script=a b.vws"},
       platform::StageKind::Root,
       0,
       "a b.vws",
       false,
       false,
       std::nullopt},
      {{"-script=a b.vws", "-root"},
       platform::StageKind::Root,
       0,
       "a b.vws",
       false,
       false,
       std::nullopt},
      {{"--window-id", "0x2a00004", "--smooth"},
       platform::StageKind::GivenWindow,
       0x2a00004,
       "",
       true,
       false,
       std::nullopt},
      {{"--window-id", "0X2A00004"},
       platform::StageKind::GivenWindow,
       0x2a00004,
       "",
       false,
       false,
       std::nullopt},
      {{"--window-id", "4194308"},
       platform::StageKind::GivenWindow,
       4194308,
       "",
       false,
       false,
       std::nullopt},
      // The daemon's settings program adds --window-id to the command for its preview.
      {{"--root", "--window-id", "0x50d"},
       platform::StageKind::GivenWindow,
       0x50d,
       "",
       false,
       false,
       {}},
      {{"-window-id", "0x50d", "-root"},
       platform::StageKind::GivenWindow,
       0x50d,
       "",
       false,
       false,
       {}},
      {{"-window-id=0x50d", "--root"},
       platform::StageKind::GivenWindow,
       0x50d,
       "",
       false,
       false,
       {}},
      {{"--window", "--every-monitor", "--codepage=932"},
       platform::StageKind::OwnWindow,
       0,
       "",
       false,
       true,
       932u},
  };
  for (const Case& c : cases) {
    const ParsedLaunch parsed = ParseLaunchOptions(c.args);
    ASSERT_TRUE(parsed.Options) << parsed.Error;
    EXPECT_EQ(parsed.Options->Stage, c.stage);
    EXPECT_EQ(parsed.Options->WindowId, c.windowId);
    EXPECT_EQ(parsed.Options->Script, c.script);
    EXPECT_EQ(parsed.Options->Roll.SmoothMotion, c.smooth);
    EXPECT_EQ(parsed.Options->Roll.EveryMonitor, c.everyMonitor);
    EXPECT_EQ(parsed.Options->CodePage, c.codePage);
  }
}

TEST(LaunchOptions, WatchesTheScriptInAnOrdinaryWindow) {
  const std::vector<std::string> args = {"--watch", "--script", "a.vws", "-window"};
  const ParsedLaunch parsed = ParseLaunchOptions(args);
  ASSERT_TRUE(parsed.Options) << parsed.Error;
  EXPECT_TRUE(parsed.Options->Watch);
  EXPECT_FALSE(ParseLaunchOptions(std::vector<std::string>{"--window"}).Options->Watch);
}

TEST(LaunchOptions, ReadsTheIdleTimeInMinutes) {
  using std::chrono::milliseconds;
  const struct {
    std::vector<std::string> args;
    milliseconds idle;
  } cases[] = {
      {{"--when-idle", "5"}, milliseconds(300'000)},
      {{"--when-idle=0.5"}, milliseconds(30'000)},
      {{"-when-idle", ".05", "--smooth"}, milliseconds(3'000)},
      {{"--when-idle", "1440"}, milliseconds(86'400'000)},
      // Whole milliseconds, never none.
      {{"--when-idle", "0.0000001"}, milliseconds(1)},
  };
  for (const auto& c : cases) {
    const ParsedLaunch parsed = ParseLaunchOptions(c.args);
    ASSERT_TRUE(parsed.Options) << parsed.Error;
    EXPECT_EQ(parsed.Options->WhenIdle, c.idle) << c.args.back();
    EXPECT_EQ(parsed.Options->Stage, platform::StageKind::FullScreen);
  }
  EXPECT_FALSE(ParseLaunchOptions(std::vector<std::string>{}).Options->WhenIdle);
}

TEST(LaunchOptions, RefusesWhatItCannotRead) {
  const char* const kOnePlace = "choose one of --root, --window-id and --window";
  const char* const kFullScreen =
      "--when-idle plays full screen: leave out --root, --window-id and --window";
  const auto kNotMinutes = [](std::string value) {
    return "--when-idle takes a number of minutes above 0, up to 1440, such as 5 or 0.5, not \"" +
           value + "\"";
  };
  const struct {
    std::vector<std::string> args;
    std::string error;
  } cases[] = {
      {{"--root", "--window"}, kOnePlace},
      {{"--root", "--root"}, kOnePlace},
      {{"--window-id", "5", "--window"}, kOnePlace},
      {{"--window-id", "5", "--window-id", "6"}, kOnePlace},
      {{"--window-id"},
       "--window-id needs a value: a window number, decimal or hexadecimal after 0x"},
      {{"--window-id", "0"},
       "--window-id takes a window number, decimal or hexadecimal after 0x, not \"0\""},
      {{"--window-id", "0xZZ"},
       "--window-id takes a window number, decimal or hexadecimal after 0x, not \"0xZZ\""},
      {{"-window-id=12ab"},
       "--window-id takes a window number, decimal or hexadecimal after 0x, not \"12ab\""},
      {{"--script"}, "--script needs a value: a script's file"},
      {{"--script="}, "--script takes a script's file, not \"\""},
      {{"--codepage", "shift-jis"},
       "--codepage takes a code page number, such as 932, not \"shift-jis\""},
      {{"-codepage", "0"}, "--codepage takes a code page number, such as 932, not \"0\""},
      {{"--codepage"}, "--codepage needs a value: a code page number, such as 932"},
      {{"--bogus"}, "unknown option \"--bogus\""},
      {{"-w"}, "unknown option \"-w\""},
      {{"/s"}, "unexpected argument \"/s\""},
      {{"--", "-root"}, "unexpected argument \"-root\""},
      {{"--watch"}, "--watch plays in an ordinary window: add --window"},
      {{"--root", "--watch"}, "--watch plays in an ordinary window: add --window"},
      {{"--when-idle"},
       "--when-idle needs a value: a number of minutes above 0, up to 1440, such as 5 or 0.5"},
      {{"--when-idle", "0"}, kNotMinutes("0")},
      {{"--when-idle", "-1"}, kNotMinutes("-1")},
      {{"--when-idle", "1440.5"}, kNotMinutes("1440.5")},
      {{"-when-idle=5m"}, kNotMinutes("5m")},
      {{"--when-idle", "nan"}, kNotMinutes("nan")},
      {{"--when-idle", "inf"}, kNotMinutes("inf")},
      {{"--when-idle", "1e2"}, kNotMinutes("1e2")},
      {{"--when-idle", " 5"}, kNotMinutes(" 5")},
      {{"--when-idle", "5", "--root"}, kFullScreen},
      {{"--window", "--when-idle", "5"}, kFullScreen},
  };
  for (const auto& c : cases) {
    const ParsedLaunch parsed = ParseLaunchOptions(c.args);
    EXPECT_FALSE(parsed.Options) << c.error;
    EXPECT_EQ(parsed.Error, c.error);
  }
}

TEST(LaunchOptions, AsksForHelpOrTheVersionInAHelpThatFitsATerminal) {
  EXPECT_TRUE(ParseLaunchOptions(std::vector<std::string>{"-help"}).Options->Help);
  EXPECT_TRUE(ParseLaunchOptions(std::vector<std::string>{"--root", "-h"}).Options->Help);
  EXPECT_TRUE(ParseLaunchOptions(std::vector<std::string>{"-version"}).Options->Version);
  std::istringstream help(platform::HelpText(kLaunchCommandLine));
  for (std::string line; std::getline(help, line);) EXPECT_LT(line.size(), 80u) << line;
}

}  // namespace
}  // namespace velloway::linux
