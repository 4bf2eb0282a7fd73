#include "programs/render/film_run.h"

#include <unistd.h>

#include <cmath>
#include <functional>
#include <memory>

#include "platform/posix/end_signals.h"
#include "platform/raster/picture.h"
#include "platform/raster/raster_backend.h"
#include "programs/render/film_encoder.h"
#include "programs/render/film_error.h"
#include "programs/render/progress.h"
#include "roll/film_stage.h"

namespace velloway::render {
namespace {

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
  FilmRun(const RenderOptions& options, const FilmScript& script)
      : music_([this] { return backend_.NowUs(); }),
        backend_(
            platform::ScreenMetrics{
                options.Width, options.Height, options.Dpi, options.Dpi, {}, options.Fps},
            script.Folder, script.CodePage, music_),
        stage_(std::make_unique<FilmStage>(backend_, script.Script, music_, options.Loops)) {}

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

std::int64_t MostFrames(const RenderOptions& options) {
  const double seconds = options.DurationSeconds.value_or(kMaxFilmSeconds);
  return static_cast<std::int64_t>(std::ceil(seconds * options.Fps - 1e-9));
}

}  // namespace

FilmPlan PlanFilm(const RenderOptions& options, const FilmScript& script) {
  FilmRun run(options, script);
  if (!run.Stage().Roll().Rolls()) {
    throw FilmError(script.Script.RecordCount() == 0
                        ? "the script has no records: there is no roll to film"
                        : "the script's speed is 0: its roll stands still");
  }
  FilmPlan plan;
  InkListener inks(plan.Inks);
  const RollEngine::Listening listening(run.Stage().Roll(), inks);
  // One frame past the longest film: a roll that has not ended by then is too long.
  const std::int64_t most = MostFrames(options) + (options.DurationSeconds ? 0 : 1);
  plan.Frames = run.Run(most, [](std::int64_t) {});
  if (!options.DurationSeconds && plan.Frames == most) {
    throw FilmError("the roll lasts more than 12 hours: --duration cuts it");
  }
  plan.Cues = run.Music().Cues();
  plan.WithSound = !plan.Cues.empty() && FilmEncoder::HasSound(options.Format);
  plan.Problems = run.Music().Problems();
  plan.Background = run.Stage().BackColor();
  return plan;
}

void MakeFilm(const RenderOptions& options, const FilmScript& script, const FilmPlan& plan,
              const std::string& url, std::int64_t& written) {
  FilmRun run(options, script);
  Soundtrack sound(plan.Cues);
  std::optional<GifPalette> palette;
  if (options.Format == FilmFormat::Gif) palette.emplace(plan.Background, plan.Inks);
  FilmEncoder encoder({options.Format, options.Width, options.Height, options.Fps}, url,
                      plan.WithSound ? &sound : nullptr, std::move(palette));
  raster::Picture picture(options.Width, options.Height);
  Progress progress(plan.Frames, options.Fps, !options.Quiet && isatty(STDERR_FILENO) != 0);
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
