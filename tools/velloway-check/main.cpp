// velloway-check: reads a roll script as the saver would, reports what would surprise its writer
// and, with --timeline, plays it through the saver's own roll engine to show when each record
// comes.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/utf8_path.h"
#include "check_options.h"
#include "check_platform.h"
#include "check_report.h"
#include "platform/codepage.h"
#include "platform/console.h"
#include "script/script_loader.h"
#include "script_checks.h"
#include "timeline.h"

namespace {

using namespace velloway;

void Print(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

std::string DirectoryOf(const std::string& file) {
  return utf8::FromPath(std::filesystem::absolute(utf8::ToPath(file)).parent_path());
}

}  // namespace

int main(int argc, char** argv) {
  platform::UseUtf8Console();
  const check::ParsedCheck parsed =
      check::ParseCheckOptions(platform::ConsoleArguments(argc, argv));
  if (!parsed.Options) return platform::ReportUsageError(check::kCheckCommandLine, parsed.Error);
  const check::CheckOptions& options = *parsed.Options;
  if (options.Help || options.Version) {
    return platform::PrintHelpOrVersion(check::kCheckCommandLine, options.Help);
  }
  const unsigned codePage = options.CodePage.value_or(platform::SystemCodePage());

  LoadedScript script = LoadScriptFile(options.File, codePage);
  if (!script.Failure) {
    std::vector<ScriptDiagnostic> found =
        check::CheckScript(script, check::MachineEnvironment(DirectoryOf(options.File)));
    script.Diagnostics.insert(script.Diagnostics.end(), found.begin(), found.end());
    std::stable_sort(
        script.Diagnostics.begin(), script.Diagnostics.end(),
        [](const ScriptDiagnostic& a, const ScriptDiagnostic& b) { return a.Line < b.Line; });
  }

  const std::string diagnostics = check::DiagnosticLines(options.File, script);
  if (options.Timeline && !script.Failure) {
    check::TimelineOptions timelineOptions;
    timelineOptions.Screen = options.Screen;
    timelineOptions.LineHeight = options.LineHeight;
    timelineOptions.Metrics = check::MachineTextMetrics(options.Screen.DpiY);
    timelineOptions.CodePage = codePage;
    const check::Timeline timeline = check::PlayTimeline(options.File, timelineOptions);
    Print(stdout, options.Json ? check::TimelineJson(timeline) : check::TimelineText(timeline));
    Print(stderr, diagnostics);
  } else {
    if (options.Json) Print(stdout, check::ScriptJson(options.File, script));
    Print(options.Json ? stderr : stdout, diagnostics);
  }
  return check::ExitStatus(script);
}
