#include "programs/linux/launch_options.h"

#include <charconv>

#include "platform/codepage.h"

namespace velloway::linux {
namespace {

ParsedLaunch Failure(std::string message) {
  return {std::nullopt, std::move(message)};
}

}  // namespace

const char kUsage[] =
    "Usage: velloway [--root | --window-id ID | --window [--watch]] [--script FILE]\n"
    "                [--smooth] [--every-monitor] [--codepage N]\n"
    "Plays a Velloway roll script.\n"
    "  (no place)      full screen; a key, a click or a moved pointer ends it\n"
    "  --root          in the window the screen-saver daemon gives (XSCREENSAVER_WINDOW),\n"
    "                  else on the root window; ends when the daemon ends it\n"
    "  --window-id ID  in the window ID (decimal, or hexadecimal after 0x); wins over\n"
    "                  --root, as the daemon's settings program adds it for its preview\n"
    "  --window        in an ordinary window; ends when it is closed\n"
    "  --watch         with --window: the roll starts again each time the script is saved;\n"
    "                  a script that cannot be played shows why, until it is saved again\n"
    "  --script FILE   the script to play (default: the shipped Default.vws)\n"
    "  --smooth        smooth motion\n"
    "  --every-monitor the roll on every monitor\n"
    "  --codepage N    the code page of a script saved in a legacy encoding (932 for\n"
    "                  Shift-JIS, 1252 for Western European; default: from the locale)\n";

std::optional<std::uint32_t> ParseWindowId(std::string_view text) {
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    text.remove_prefix(2);
    base = 16;
  }
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value == 0) {
    return std::nullopt;
  }
  return value;
}

ParsedLaunch ParseLaunchOptions(std::span<const std::string> args) {
  LaunchOptions options;
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
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (arg.starts_with("--")) arg.remove_prefix(1);
    const auto value = [&]() -> std::optional<std::string_view> {
      if (i + 1 >= args.size()) return std::nullopt;
      return std::string_view(args[++i]);
    };
    const char* const kOnePlace = "choose one of --root, --window-id and --window";
    if (arg == "-root") {
      if (!place(platform::StageKind::Root)) return Failure(kOnePlace);
    } else if (arg == "-window") {
      if (!place(platform::StageKind::OwnWindow)) return Failure(kOnePlace);
    } else if (arg == "-window-id") {
      const auto text = value();
      const auto id = text ? ParseWindowId(*text) : std::nullopt;
      if (!id) return Failure("--window-id needs a window number");
      if (!place(platform::StageKind::GivenWindow)) return Failure(kOnePlace);
      options.WindowId = *id;
    } else if (arg == "-script") {
      const auto text = value();
      if (!text || text->empty()) return Failure("--script needs a file");
      options.Script = *text;
    } else if (arg == "-codepage") {
      const auto text = value();
      options.CodePage = text ? platform::ParseCodePage(*text) : std::nullopt;
      if (!options.CodePage) return Failure("--codepage needs a code page number, such as 932");
    } else if (arg == "-smooth") {
      options.Roll.SmoothMotion = true;
    } else if (arg == "-every-monitor") {
      options.Roll.EveryMonitor = true;
    } else if (arg == "-watch") {
      options.Watch = true;
    } else if (arg == "-help" || arg == "-h") {
      options.Help = true;
    } else {
      return Failure("unknown argument \"" + args[i] + "\"");
    }
  }
  // The other places have no window of their own to show a writer's script in.
  if (options.Watch && options.Stage != platform::StageKind::OwnWindow) {
    return Failure("--watch plays in an ordinary window: add --window");
  }
  return {std::move(options), {}};
}

}  // namespace velloway::linux
