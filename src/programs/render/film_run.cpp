#include "programs/render/film_run.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>

#include "platform/posix/end_signals.h"
#include "platform/raster/picture.h"
#include "platform/raster/raster_backend.h"
#include "programs/render/film_encoder.h"
#include "programs/render/film_error.h"
#include "programs/render/music_decoder.h"
#include "programs/render/progress.h"

namespace velloway::render {
namespace {

// The fitted roll's limits, in pixels a second: no faster than a film shows a line from the
// bottom edge to the top in a second, no slower than a pixel every two seconds.
constexpr double kSlowestPixelsPerSecond = 0.5;
// Fitting a pass to its frames takes a few runs; this many is a fault.
constexpr int kMostFittingRuns = 40;

// Notes the colour of every line the film shows.
class InkListener : public RollListener {
 public:
  explicit InkListener(std::vector<Color>& inks) : inks_(inks) {}
  void OnLinePlaced(const PlacedLine& line) override { inks_.push_back(line.ForeColor); }

 private:
  std::vector<Color>& inks_;
};

// One run of the film: the stage on a raster backend of its own, its clock at 0.
class FilmRun {
 public:
  FilmRun(const RenderOptions& options, const FilmScript& script, int passes, std::int64_t pace)
      : music_([this] { return stage_->FilmTimeUs(backend_.NowUs()); }),
        backend_(
            platform::ScreenMetrics{
                options.Width, options.Height, options.Dpi, options.Dpi, {}, options.Fps},
            script.Folder, script.CodePage, music_),
        stage_(std::make_unique<FilmStage>(backend_, script.Script, music_, passes, pace)) {}

  FilmStage& Stage() { return *stage_; }
  const FilmMusic& Music() const { return music_; }

  // Films at most `most` frames (see FilmStage::Film); an end signal stops it.
  std::int64_t Run(std::int64_t most, const std::function<void(std::int64_t)>& shoot) {
    return stage_->Film(backend_, most, [&](std::int64_t frame) {
      if (posix::EndSignalled()) throw Interrupted{};
      shoot(frame);
    });
  }

 private:
  FilmMusic music_;  // reads the backend's clock once the film runs
  raster::RasterBackend backend_;
  std::unique_ptr<FilmStage> stage_;
};

// The run's frames without painting, to the cut of --duration if `cut`; a roll that lasts longer
// than a film may is refused.
std::int64_t CountFrames(FilmRun& run, const RenderOptions& options, bool cut) {
  const double seconds = cut ? *options.DurationSeconds : kMaxFilmSeconds;
  const auto longest = static_cast<std::int64_t>(std::ceil(seconds * options.Fps - 1e-9));
  // One frame past the longest film: a roll that has not ended by then is too long.
  const std::int64_t most = longest + (cut ? 0 : 1);
  const std::int64_t frames = run.Run(most, [](std::int64_t) {});
  if (!cut && frames == most) {
    throw FilmError("the roll lasts more than 12 hours: --duration cuts it");
  }
  return frames;
}

// The frames of one whole pass at pace.
std::int64_t PassFrames(const RenderOptions& options, const FilmScript& script, std::int64_t pace) {
  FilmRun run(options, script, 1, pace);
  return CountFrames(run, options, false);
}

std::string Figure(const char* format, double value) {
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), format, value);
  return text.data();
}

// The frames one pass should take: --fit's seconds, or as many as make the first music file end
// as the pass does, the pass lasting passUs at the script's pace: its cue moves with the pace, so
// the pass lasts the music's length over the share of the pass after the cue.
std::int64_t FittedFrames(const RenderOptions& options, const FilmScript& script, double passUs) {
  double seconds = options.Fit->Seconds;
  if (options.Fit->ToMusic) {
    FilmRun run(options, script, 1, kScriptPace);
    run.Run(static_cast<std::int64_t>(passUs * options.Fps / 1e6) + 1, [](std::int64_t) {});
    const std::vector<MusicCue>& cues = run.Music().Cues();
    if (cues.empty()) throw FilmError("--fit music: the script plays no music to fit to");
    std::string why;
    const std::unique_ptr<MusicDecoder> music = MusicDecoder::Open(cues.front().Path, why);
    const std::optional<std::int64_t> musicUs =
        music ? music->DurationUs() : std::optional<std::int64_t>();
    if (!musicUs) throw FilmError("--fit music: " + cues.front().Path + " does not say its length");
    const double before = static_cast<double>(cues.front().StartUs) / passUs;
    if (before >= 1) throw FilmError("--fit music: the music starts as the pass ends");
    seconds = static_cast<double>(*musicUs) / 1e6 / (1 - before);
  }
  return std::max<std::int64_t>(1, std::llround(seconds * options.Fps));
}

struct FittedPass {
  std::int64_t Pace = kScriptPace;
  std::int64_t Frames = 0;
};

// The pace at which one pass of the script lasts --fit's length to the frame. Its frames fall
// as the pace rises: each run's count tells where the pass ends, and the next pace is aimed at
// the middle of the last frame; a pace that misses narrows the range the right one lies in.
FittedPass FitPace(const RenderOptions& options, const FilmScript& script,
                   std::int32_t tickIntervalMs) {
  const std::int64_t own = PassFrames(options, script, kScriptPace);
  const double passUs = (static_cast<double>(own) - 0.5) * 1e6 / options.Fps;
  const std::int64_t wanted = FittedFrames(options, script, passUs);
  const double pace = static_cast<double>(kScriptPace) * (static_cast<double>(own) - 0.5) /
                      (static_cast<double>(wanted) - 0.5);
  const double pixelsPerSecond =
      RollEngine::kStepPixels * 1000.0 / tickIntervalMs * pace / kScriptPace;
  const std::string asked = "--fit " + Figure("%.1f", static_cast<double>(wanted) / options.Fps) +
                            " s needs the lines to move " + Figure("%.2f", pixelsPerSecond) +
                            " pixels a second";
  if (pixelsPerSecond > options.Height) {
    throw FilmError(asked + ": faster than a film shows them, more than its height (" +
                    std::to_string(options.Height) + ") a second");
  }
  if (pixelsPerSecond < kSlowestPixelsPerSecond) {
    throw FilmError(asked + ": slower than a pixel every two seconds");
  }
  std::int64_t tried = std::llround(pace);
  std::int64_t slow = 0;                 // a pace of too many frames, or 0
  std::int64_t fast = INT64_C(1) << 62;  // a pace of too few
  for (int run = 0; run < kMostFittingRuns; ++run) {
    const std::int64_t frames = PassFrames(options, script, tried);
    if (frames == wanted) return {tried, frames};
    (frames > wanted ? slow : fast) = tried;
    auto next = static_cast<std::int64_t>(
        std::llround(static_cast<double>(tried) * (static_cast<double>(frames) - 0.5) /
                     (static_cast<double>(wanted) - 0.5)));
    if (next <= slow || next >= fast) next = slow + (fast - slow) / 2;
    tried = next;
  }
  throw FilmError("--fit: no pace makes the pass last exactly " + std::to_string(wanted) +
                  " frames");
}

}  // namespace

FilmPlan PlanFilm(const RenderOptions& options, const FilmScript& script) {
  FilmPlan plan;
  {
    FilmRun still(options, script, 1, kScriptPace);
    if (!still.Stage().Roll().Rolls()) {
      throw FilmError(script.Script.RecordCount() == 0
                          ? "the script has no records: there is no roll to film"
                          : "the script's speed is 0: its roll stands still");
    }
    if (options.Fit) {
      const FittedPass pass = FitPace(options, script, still.Stage().Roll().TickInterval());
      plan.Pace = pass.Pace;
      plan.Fitted = "one pass " + Figure("%.1f", static_cast<double>(pass.Frames) / options.Fps) +
                    " s at " + Figure("%.2f", static_cast<double>(pass.Pace) / kScriptPace) +
                    "x the script's speed";
    }
  }
  FilmRun run(options, script, options.Loops, plan.Pace);
  InkListener inks(plan.Inks);
  const RollEngine::Listening listening(run.Stage().Roll(), inks);
  plan.Frames = CountFrames(run, options, options.DurationSeconds.has_value());
  plan.Cues = run.Music().Cues();
  plan.WithSound = !plan.Cues.empty() && FilmEncoder::HasSound(options.Format);
  plan.Problems = run.Music().Problems();
  plan.Background = run.Stage().BackColor();
  return plan;
}

void MakeFilm(const RenderOptions& options, const FilmScript& script, const FilmPlan& plan,
              const std::string& url, std::int64_t& written) {
  FilmRun run(options, script, options.Loops, plan.Pace);
  Soundtrack sound(plan.Cues);
  std::optional<GifPalette> palette;
  if (options.Format == FilmFormat::Gif) {
    palette.emplace(plan.Background, plan.Inks, options.Transparent);
  }
  FilmEncoder encoder(
      {options.Format, options.Width, options.Height, options.Fps, options.Transparent}, url,
      plan.WithSound ? &sound : nullptr, std::move(palette));
  raster::Picture picture(
      options.Width, options.Height,
      options.Transparent ? raster::Picture::Backdrop::Clear : raster::Picture::Backdrop::Opaque);
  Progress progress(plan.Frames, options.Fps, ProgressShown(options.Quiet), plan.Fitted);
  const platform::PixelRect all{0, 0, options.Width, options.Height};
  run.Run(plan.Frames, [&](std::int64_t) {
    run.Stage().PaintContent(picture, all);
    encoder.Write(picture);
    written = encoder.FramesWritten();
    progress.Update(written);
  });
  encoder.Finish();
}

}  // namespace velloway::render
