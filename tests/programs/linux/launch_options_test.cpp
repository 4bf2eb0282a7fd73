// The Linux program's command line: where it plays, the script and the options.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
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
      {{"--window", "--every-monitor", "--codepage", "932"},
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

TEST(LaunchOptions, RefusesWhatItCannotRead) {
  const std::vector<std::vector<std::string>> cases = {
      {"--root", "--window"},
      {"--window-id"},
      {"--window-id", "0"},
      {"--window-id", "0xZZ"},
      {"--window-id", "12ab"},
      {"--script"},
      {"--codepage", "shift-jis"},
      {"--codepage", "0"},
      {"--codepage"},
      {"--root", "--root"},
      {"--window-id", "5", "--window"},
      {"--window-id", "5", "--window-id", "6"},
      {"--bogus"},
      {"/s"},
      {"--watch"},
      {"--root", "--watch"},
  };
  for (const auto& args : cases) {
    const ParsedLaunch parsed = ParseLaunchOptions(args);
    EXPECT_FALSE(parsed.Options) << args.front();
    EXPECT_FALSE(parsed.Error.empty()) << args.front();
  }
}

}  // namespace
}  // namespace velloway::linux
