// velloway-check: reads a roll script as the saver would, reports what would surprise its writer
// and, with --timeline, plays it through the saver's own roll engine to show when each record
// comes.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "check_platform.h"
#include "check_report.h"
#include "platform/codepage.h"
#include "platform/console.h"
#include "script/script_loader.h"
#include "script_checks.h"
#include "timeline.h"

namespace {

using namespace velloway;

constexpr const char* kUsage =
    "Usage: velloway-check [OPTIONS] SCRIPT\n"
    "\n"
    "Reads a Velloway roll script (.vws) exactly as the saver does and prints what would\n"
    "surprise its writer, one line each: FILE:LINE: severity: message.\n"
    "\n"
    "  --json            print the header and the records as loaded, as JSON, on standard\n"
    "                    output (the diagnostics then go to standard error)\n"
    "  --timeline        play the script through the saver's roll engine, without a window, and\n"
    "                    print for each record the tick and second it starts, its number and its\n"
    "                    command, then the length of one loop (with --json: as JSON)\n"
    "  --screen WxH      the screen the timeline plays on, in pixels (default 1920x1080)\n"
    "  --line-height PX  measure every line PX pixels high (1 to 10000), so that a timeline is\n"
    "                    exact and the same on every machine (default: the real fonts, as\n"
    "                    the saver of this machine measures them)\n"
    "  --codepage N      the code page of a script saved in a legacy encoding (932 for\n"
    "                    Shift-JIS, 1252 for Western European), as `velloway --codepage N`\n"
    "                    plays it (default: the saver's own: from the locale on Linux, the\n"
    "                    system's on Windows)\n"
    "  --help            print this help\n"
    "\n"
    "Exit status: 0 the script is clean, 1 it has diagnostics, 2 it cannot be read\n"
    "(or the command line is wrong).\n";

struct Options {
  bool json = false;
  bool timeline = false;
  platform::ScreenMetrics screen;
  std::optional<int> lineHeight;
  unsigned codePage = platform::SystemCodePage();
  std::string file;
};

void Print(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

std::optional<int> PositiveNumber(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value <= 0) return std::nullopt;
  return value;
}

// Reads the command line; nullopt after printing what is wrong (or the help, with *help set).
std::optional<Options> ReadOptions(const std::vector<std::string>& args, bool* help) {
  Options options;
  const auto fail = [](const std::string& message) {
    Print(stderr, "velloway-check: " + message + "\n\n" + kUsage);
    return std::nullopt;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--help" || arg == "-h") {
      *help = true;
      Print(stdout, kUsage);
      return std::nullopt;
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--timeline") {
      options.timeline = true;
    } else if (arg == "--screen" && hasValue) {
      const std::string& size = args[++i];
      const std::size_t x = size.find('x');
      const auto width = PositiveNumber(std::string_view(size).substr(0, x));
      const auto height = x == std::string::npos
                              ? std::nullopt
                              : PositiveNumber(std::string_view(size).substr(x + 1));
      if (!width || !height)
        return fail("--screen takes WIDTHxHEIGHT in pixels, such as 1920x1080");
      options.screen.WidthPx = *width;
      options.screen.HeightPx = *height;
    } else if (arg == "--line-height" && hasValue) {
      options.lineHeight = PositiveNumber(args[++i]);
      if (!options.lineHeight || *options.lineHeight > check::kMaxLineHeight) {
        return fail("--line-height takes a number of pixels from 1 to " +
                    std::to_string(check::kMaxLineHeight));
      }
    } else if (arg == "--codepage" && hasValue) {
      const auto codePage = platform::ParseCodePage(args[++i]);
      if (!codePage) return fail("--codepage takes a code page number, such as 932");
      options.codePage = *codePage;
    } else if (options.file.empty() && !arg.starts_with("--")) {
      options.file = arg;
    } else {
      return fail("unexpected argument: " + arg);
    }
  }
  if (options.file.empty()) return fail("which script?");
  return options;
}

std::string DirectoryOf(const std::string& file) {
  const std::filesystem::path path(std::u8string(file.begin(), file.end()));
  const std::u8string dir = std::filesystem::absolute(path).parent_path().u8string();
  return std::string(dir.begin(), dir.end());
}

}  // namespace

int main(int argc, char** argv) {
  platform::UseUtf8Console();
  bool help = false;
  const std::optional<Options> options = ReadOptions(platform::ConsoleArguments(argc, argv), &help);
  if (!options) return help ? check::kClean : check::kUnreadable;

  LoadedScript script = LoadScriptFile(options->file, options->codePage);
  if (!script.Failure) {
    std::vector<ScriptDiagnostic> found =
        check::CheckScript(script, check::MachineEnvironment(DirectoryOf(options->file)));
    script.Diagnostics.insert(script.Diagnostics.end(), found.begin(), found.end());
    std::stable_sort(
        script.Diagnostics.begin(), script.Diagnostics.end(),
        [](const ScriptDiagnostic& a, const ScriptDiagnostic& b) { return a.Line < b.Line; });
  }

  const std::string diagnostics = check::DiagnosticLines(options->file, script);
  if (options->timeline && !script.Failure) {
    check::TimelineOptions timelineOptions;
    timelineOptions.Screen = options->screen;
    timelineOptions.LineHeight = options->lineHeight;
    timelineOptions.Metrics = check::MachineTextMetrics(options->screen.DpiY);
    timelineOptions.CodePage = options->codePage;
    const check::Timeline timeline = check::PlayTimeline(options->file, timelineOptions);
    Print(stdout, options->json ? check::TimelineJson(timeline) : check::TimelineText(timeline));
    Print(stderr, diagnostics);
  } else {
    if (options->json) Print(stdout, check::ScriptJson(options->file, script));
    Print(options->json ? stderr : stdout, diagnostics);
  }
  return check::ExitStatus(script);
}
