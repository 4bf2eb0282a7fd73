#pragma once
// The command line of the Linux program, a hack in XScreenSaver's sense.
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/long_options.h"
#include "platform/stage_kind.h"
#include "roll/roll_options.h"

namespace velloway::linux {

struct LaunchOptions {
  platform::StageKind Stage = platform::StageKind::FullScreen;
  std::uint32_t WindowId = 0;  // the given window
  std::string Script;          // empty: the shipped Default.vws
  RollOptions Roll;
  std::optional<unsigned> CodePage;  // unset: the locale decides
  bool Watch = false;                // in the ordinary window: each save starts the roll again
  // Stays in the session and plays full screen each time the desktop has been idle this long.
  std::optional<std::chrono::milliseconds> WhenIdle;
  bool Help = false;
  bool Version = false;
};

struct ParsedLaunch {
  std::optional<LaunchOptions> Options;
  std::string Error;  // why there are no options
};

// The program's options and help. They take one dash or two, as X programs' do ("-root" and
// "--root").
extern const platform::CommandLine kLaunchCommandLine;

// Reads the arguments (without the program's path).
ParsedLaunch ParseLaunchOptions(std::span<const std::string> args);

// A window number as X tools print it: decimal, or hexadecimal after "0x"; nothing when the text
// is no window number.
std::optional<std::uint32_t> ParseWindowId(std::string_view text);

}  // namespace velloway::linux
