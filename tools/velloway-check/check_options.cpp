#include "check_options.h"

#include <array>
#include <limits>
#include <utility>

#include "timeline.h"

namespace velloway::check {
namespace {

// The options, in the order of kOptions.
enum Option : std::size_t {
  kJson,
  kTimeline,
  kScreen,
  kLineHeight,
  kCodePage,
};

const std::array<platform::LongOption, 5> kOptions = {{
    {"json", "", "",
     "print the header and the records as loaded, as JSON, on\n"
     "standard output (the diagnostics then go to standard\n"
     "error)"},
    {"timeline", "", "",
     "play the script through the saver's roll engine,\n"
     "without a window, and print for each record the tick\n"
     "and second it starts, its number and its command, then\n"
     "the length of one loop (with --json: as JSON)"},
    {"screen", "WxH", "WIDTHxHEIGHT in pixels, such as 1920x1080",
     "the screen the timeline plays on, in pixels (default\n"
     "1920x1080)"},
    {"line-height", "PX", "a number of pixels from 1 to 10000",
     "measure every line PX pixels high (1 to 10000), so\n"
     "that a timeline is exact and the same on every machine\n"
     "(default: the real fonts, as the saver of this machine\n"
     "measures them)"},
    platform::kCodePageOption,
}};

ParsedCheck Failure(std::string message) {
  return {std::nullopt, std::move(message)};
}

}  // namespace

const platform::CommandLine kCheckCommandLine{
    .Program = "velloway-check",
    .Usage = "[OPTION]... SCRIPT",
    .About =
        "Reads a Velloway roll script (.vws) exactly as the saver does and prints what\n"
        "would surprise its writer, one line each: FILE:LINE: severity: message.",
    .Options = kOptions,
    .Operand = "SCRIPT",
    .Closing =
        "Exit status: 0 the script is clean, 1 it has diagnostics, 2 it cannot be read\n"
        "(or the command line is wrong).",
};

ParsedCheck ParseCheckOptions(std::span<const std::string> args) {
  const platform::ReadArguments read = platform::ReadLongOptions(kCheckCommandLine, args);
  if (!read.Error.empty()) return Failure(read.Error);
  CheckOptions options;
  options.Help = read.Help;
  options.Version = read.Version;
  if (read.Help || read.Version) return {std::move(options), {}};
  for (const auto& [index, value] : read.Given) {
    const platform::LongOption& option = kOptions[index];
    switch (index) {
      case kJson:
        options.Json = true;
        break;
      case kTimeline:
        options.Timeline = true;
        break;
      case kScreen: {
        constexpr int kMost = std::numeric_limits<int>::max();
        const auto size = platform::ReadSize(value, 1, {kMost, kMost});
        if (!size) return Failure(platform::WrongValue(option, value));
        options.Screen.WidthPx = size->Width;
        options.Screen.HeightPx = size->Height;
        break;
      }
      case kLineHeight:
        options.LineHeight = platform::ReadWhole(value, 1, kMaxLineHeight);
        if (!options.LineHeight) return Failure(platform::WrongValue(option, value));
        break;
      case kCodePage:
        options.CodePage = platform::ReadCodePage(value);
        if (!options.CodePage) return Failure(platform::WrongValue(option, value));
        break;
    }
  }
  if (!read.Operand) return Failure("which script?");
  options.File = *read.Operand;
  return {std::move(options), {}};
}

}  // namespace velloway::check
