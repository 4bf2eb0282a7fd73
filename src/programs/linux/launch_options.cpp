#include "programs/linux/launch_options.h"

#include <array>
#include <cmath>
#include <limits>

namespace velloway::linux {
namespace {

// The options, in the order of kOptions.
enum Option : std::size_t {
  kRoot,
  kWindowId,
  kWindow,
  kWatch,
  kScript,
  kSmooth,
  kEveryMonitor,
  kCodePage,
  kWhenIdle,
};

// A day: a longer wait is no screen saver's.
constexpr double kMostIdleMinutes = 24 * 60;

const std::array<platform::LongOption, 9> kOptions = {{
    {"root", "", "",
     "in the window the screen-saver daemon gives\n"
     "(XSCREENSAVER_WINDOW), else on the root window; ends\n"
     "when the daemon ends it"},
    {"window-id", "ID", "a window number, decimal or hexadecimal after 0x",
     "in the window ID (decimal, or hexadecimal after 0x);\n"
     "wins over --root, as the daemon's settings program\n"
     "adds it for its preview"},
    {"window", "", "", "in an ordinary window; ends when it is closed"},
    {"watch", "", "",
     "with --window: the roll starts again each time the\n"
     "script is saved; a script that cannot be played shows\n"
     "why, until it is saved again"},
    {"script", "FILE", "a script's file", "the script to play (default: the shipped Default.vws)"},
    {"smooth", "", "", "smooth motion"},
    {"every-monitor", "", "", "the roll on every monitor"},
    platform::kCodePageOption,
    {"when-idle", "MINUTES", "a number of minutes above 0, up to 1440, such as 5 or 0.5",
     "stays in the session and plays full screen each time\n"
     "the desktop has been idle MINUTES (0.5: thirty\n"
     "seconds); waits again after each roll"},
}};

ParsedLaunch Failure(std::string message) {
  return {std::nullopt, std::move(message)};
}

}  // namespace

const platform::CommandLine kLaunchCommandLine{
    .Program = "velloway",
    .Usage =
        "[--root | --window-id ID] [--script FILE] [OPTION]...\n"
        "--window [--watch] [--script FILE] [OPTION]...\n"
        "--when-idle MINUTES [--script FILE] [OPTION]...",
    .About =
        "Plays a Velloway roll script. Without a place it plays full screen, where a\n"
        "key, a click beside the lines or a moved pointer ends it.",
    .Options = kOptions,
    .OneDash = true,
};

std::optional<std::uint32_t> ParseWindowId(std::string_view text) {
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    text.remove_prefix(2);
    base = 16;
  }
  return platform::ReadWhole<std::uint32_t>(text, 1, std::numeric_limits<std::uint32_t>::max(),
                                            base);
}

ParsedLaunch ParseLaunchOptions(std::span<const std::string> args) {
  const platform::ReadArguments read = platform::ReadLongOptions(kLaunchCommandLine, args);
  if (!read.Error.empty()) return Failure(read.Error);
  LaunchOptions options;
  options.Help = read.Help;
  options.Version = read.Version;
  if (read.Help || read.Version) return {std::move(options), {}};
  bool placed = false;
  // The daemon's settings program previews a hack by adding --window-id to its command, which
  // may hold --root: the given window wins, in either order, as it does for the daemon's hacks.
  const auto place = [&](platform::StageKind stage) {
    const auto givenOverRoot = [](platform::StageKind a, platform::StageKind b) {
      return a == platform::StageKind::GivenWindow && b == platform::StageKind::Root;
    };
    if (placed && !givenOverRoot(stage, options.Stage) && !givenOverRoot(options.Stage, stage)) {
      return false;
    }
    if (!placed || stage == platform::StageKind::GivenWindow) options.Stage = stage;
    placed = true;
    return true;
  };
  const char* const kOnePlace = "choose one of --root, --window-id and --window";
  for (const auto& [index, value] : read.Given) {
    const platform::LongOption& option = kOptions[index];
    switch (index) {
      case kRoot:
        if (!place(platform::StageKind::Root)) return Failure(kOnePlace);
        break;
      case kWindow:
        if (!place(platform::StageKind::OwnWindow)) return Failure(kOnePlace);
        break;
      case kWindowId: {
        const auto id = ParseWindowId(value);
        if (!id) return Failure(platform::WrongValue(option, value));
        if (!place(platform::StageKind::GivenWindow)) return Failure(kOnePlace);
        options.WindowId = *id;
        break;
      }
      case kScript:
        if (value.empty()) return Failure(platform::WrongValue(option, value));
        options.Script = value;
        break;
      case kCodePage:
        options.CodePage = platform::ReadCodePage(value);
        if (!options.CodePage) return Failure(platform::WrongValue(option, value));
        break;
      case kSmooth:
        options.Roll.SmoothMotion = true;
        break;
      case kEveryMonitor:
        options.Roll.EveryMonitor = true;
        break;
      case kWatch:
        options.Watch = true;
        break;
      case kWhenIdle: {
        const auto minutes = platform::ReadDecimal(value, kMostIdleMinutes);
        if (!minutes) return Failure(platform::WrongValue(option, value));
        // Whole milliseconds, at least one.
        options.WhenIdle = std::chrono::milliseconds(std::llround(std::ceil(*minutes * 60'000)));
        break;
      }
    }
  }
  // The other places have no window of their own to show a writer's script in.
  if (options.Watch && options.Stage != platform::StageKind::OwnWindow) {
    return Failure("--watch plays in an ordinary window: add --window");
  }
  if (options.WhenIdle && placed) {
    return Failure("--when-idle plays full screen: leave out --root, --window-id and --window");
  }
  return {std::move(options), {}};
}

}  // namespace velloway::linux
