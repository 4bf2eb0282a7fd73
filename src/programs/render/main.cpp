// velloway-render: makes a video of a roll script, as the saver plays it with smooth motion,
// with its music, through FFmpeg's libraries; no display needed.
#include <array>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "base/utf8_path.h"
#include "platform/codepage.h"
#include "platform/console.h"
#include "platform/posix/end_signals.h"
#include "programs/render/film_error.h"
#include "programs/render/film_run.h"
#include "programs/render/output_file.h"
#include "programs/render/progress.h"
#include "script/script_loader.h"

extern "C" {
#include <libavutil/log.h>
}

namespace {

using namespace velloway;
using namespace velloway::render;

constexpr int kFailed = 1;
// As a shell reports a program ended by SIGINT.
constexpr int kInterrupted = 130;

void Say(const std::string& line) {
  std::fprintf(stderr, "velloway-render: %s\n", line.c_str());
}

FilmScript ReadScript(const RenderOptions& options) {
  const std::filesystem::path path = std::filesystem::absolute(utf8::ToPath(options.Script));
  FilmScript film;
  // Its folder holds the music it names.
  film.Folder = utf8::FromPath(path.parent_path());
  film.CodePage = options.CodePage.value_or(platform::SystemCodePage());
  film.Script = LoadScriptFile(utf8::FromPath(path), film.CodePage);
  if (film.Script.Failure) {
    throw FilmError(options.Script + ": " + film.Script.Failure->Reason);
  }
  return film;
}

std::string Summary(const RenderOptions& options, const FilmPlan& plan) {
  const double seconds = static_cast<double>(plan.Frames) / options.Fps;
  std::array<char, 64> length{};
  std::snprintf(length.data(), length.size(), "%.2f s", seconds);
  return "made " + options.Output + ": " + length.data() + ", " + std::to_string(plan.Frames) +
         " frames at " + std::to_string(options.Fps) + " a second, " +
         std::to_string(options.Width) + "x" + std::to_string(options.Height) +
         (plan.WithSound ? ", with its music" : "");
}

int Render(const RenderOptions& options) {
  OutputFile output(options.Output, options.Format, options.Force);
  const FilmScript script = ReadScript(options);
  posix::CatchEndSignals();
  const FilmPlan plan = PlanFilm(options, script);
  // The progress bar says it; without the bar, one line.
  if (!plan.Fitted.empty() && !ProgressShown(options.Quiet)) Say(plan.Fitted);
  for (const std::string& problem : plan.Problems) Say(problem);
  if (!plan.Cues.empty() && !plan.WithSound) Say("the music is left out: this format has no sound");
  std::int64_t written = 0;
  try {
    MakeFilm(options, script, plan, output.WritingTo(), written);
    output.Complete();
  } catch (...) {
    output.Discard(written);
    throw;
  }
  if (!options.Quiet) Say(Summary(options, plan));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // FFmpeg's own messages stay quiet: its errors come back as codes, said in our words.
  av_log_set_level(AV_LOG_QUIET);
  const std::vector<std::string> args = platform::ConsoleArguments(argc, argv);
  const ParsedRender parsed = ParseRenderOptions(args);
  if (!parsed.Options) return platform::ReportUsageError(kRenderCommandLine, parsed.Error);
  if (parsed.Options->Help || parsed.Options->Version) {
    return platform::PrintHelpOrVersion(kRenderCommandLine, parsed.Options->Help);
  }
  try {
    return Render(*parsed.Options);
  } catch (const Interrupted&) {
    Say("stopped: " + parsed.Options->Output + " was not made");
    return kInterrupted;
  } catch (const std::exception& e) {
    Say(e.what());
    return kFailed;
  }
}
