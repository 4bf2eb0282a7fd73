#pragma once
// The command line of the Linux program, a hack in XScreenSaver's sense.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "roll/roll_options.h"

namespace velloway::x11 {

// Where the roll plays.
enum class StageKind {
  // A full-screen window of its own, ended by a key, a click or a pointer jump.
  FullScreen,
  // The window the screen-saver daemon gives (XSCREENSAVER_WINDOW), else the root window.
  Root,
  // A window named on the command line.
  GivenWindow,
  // An ordinary resizable window, ended by closing it.
  OwnWindow,
};

struct LaunchOptions {
  StageKind Stage = StageKind::FullScreen;
  std::uint32_t WindowId = 0;  // the given window
  std::string Script;          // empty: the shipped Default.vws
  RollOptions Roll;
  std::optional<unsigned> CodePage;  // unset: the locale decides
  bool Help = false;
};

struct ParsedLaunch {
  std::optional<LaunchOptions> Options;
  std::string Error;  // why there are no options
};

// Reads the arguments (without the program's path). Options take one dash or two, as X
// programs' do ("-root" and "--root").
ParsedLaunch ParseLaunchOptions(std::span<const std::string> args);

// A window number as X tools print it: decimal, or hexadecimal after "0x"; nothing when the text
// is no window number.
std::optional<std::uint32_t> ParseWindowId(std::string_view text);

extern const char kUsage[];

}  // namespace velloway::x11
