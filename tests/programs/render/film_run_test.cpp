// The film's frames: frame k is the roll at k / fps seconds, from the roll's start; the film has
// exactly the frames until the roll ends or the cut; and each picture of a lossless film is the
// picture the stage draws at its time.
#include "programs/render/film_run.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/raster/picture.h"
#include "platform/raster/raster_backend.h"
#include "roll/film_stage.h"
#include "script/script_loader.h"
#include "support/temp_dir.h"

namespace velloway::render {
namespace {

// Speed 3, a tick every 100 ms: the roll's first tick comes at 100 ms, and a pass is the WAIT's
// tick and the ten it holds, 1.1 s: passes end at 1.2 s, 2.3 s, 3.4 s...
constexpr char kWaitScript[] = "HEADER\t20\t3\tMID\t000000\nWAIT\t1\n";

RenderOptions Options(int fps, int loops, std::optional<double> seconds) {
  RenderOptions options;
  options.Output = "film/%05d.png";
  options.Format = FilmFormat::PngSequence;
  options.Width = 64;
  options.Height = 48;
  options.Fps = fps;
  options.Loops = loops;
  options.DurationSeconds = seconds;
  options.Quiet = true;
  return options;
}

TEST(FilmRun, HasAFrameForEachFrameTimeBeforeTheRollEnds) {
  const struct {
    int fps, loops;
    std::optional<double> seconds;
    std::int64_t frames;
  } cases[] = {
      {50, 1, std::nullopt, 60},  // 0 to 1.18 s
      {24, 1, std::nullopt, 29},  // the last at 1.1667 s
      {7, 1, std::nullopt, 9},    // the last at 1.1429 s
      {50, 3, std::nullopt, 170},
      {30, 1, 0.5, 15},  // cut
      {7, 2, 1.0, 7},
      {50, 1, 5.0, 60},  // the roll ends first
  };
  for (const auto& c : cases) {
    const FilmPlan plan =
        PlanFilm(Options(c.fps, c.loops, c.seconds), {ParseScript(kWaitScript), "/", 1252});
    EXPECT_EQ(plan.Frames, c.frames) << c.fps << " frames a second, " << c.loops << " passes";
  }
}

// A picture of the sequence, its pixels as a Picture's: 0xAARRGGBB.
struct PngPicture {
  explicit PngPicture(const std::filesystem::path& path)
      : surface(cairo_image_surface_create_from_png(path.c_str())) {}
  std::uint32_t At(int x, int y) const {
    std::uint32_t pixel = 0;
    std::memcpy(&pixel,
                cairo_image_surface_get_data(surface.get()) +
                    y * cairo_image_surface_get_stride(surface.get()) + x * 4,
                sizeof pixel);
    return pixel;
  }
  posix::LineImage surface;
};

TEST(FilmRun, EachPictureOfALosslessFilmIsTheStageAtItsTime) {
  const std::string text =
      "HEADER\t14\t3\tMID\t102040\n"
      "TEXT\tDejaVu Sans\t0\tVelloway\tFFFFFF\t1\n"
      "TEXT\tDejaVu Sans\t2\tcredits\t00C0FF\t1\n";
  testing::TempDir dir;
  const RenderOptions options = Options(10, 1, std::nullopt);
  const FilmScript script{ParseScript(text), dir.Utf8(), 1252};
  const FilmPlan plan = PlanFilm(options, script);
  std::int64_t written = 0;
  MakeFilm(options, script, plan, dir.Utf8() + "/%05d.png", written);
  ASSERT_EQ(written, plan.Frames);

  // The stage played on its own: frame k shows it at k / fps seconds.
  FilmMusic music([] { return std::int64_t{0}; });  // the script plays no music
  raster::RasterBackend backend(
      {options.Width, options.Height, options.Dpi, options.Dpi, {}, options.Fps}, dir.Utf8(), 1252,
      music);
  FilmStage stage(backend, ParseScript(text), music, 1);
  raster::Picture drawn(options.Width, options.Height);
  const auto pictureAt = [&](std::int64_t frame) {
    std::array<char, 16> name{};
    std::snprintf(name.data(), name.size(), "%05d.png", static_cast<int>(frame + 1));
    return dir.Path() / name.data();
  };
  const std::int64_t frames = stage.Film(backend, plan.Frames + 1, [&](std::int64_t frame) {
    ASSERT_EQ(backend.NowUs(), frame * 1'000'000 / options.Fps);
    ASSERT_TRUE(std::filesystem::exists(pictureAt(frame))) << "picture " << frame + 1;
    stage.PaintContent(drawn, {0, 0, options.Width, options.Height});
    const PngPicture filmed(pictureAt(frame));
    int differing = 0;
    for (int y = 0; y < options.Height; ++y) {
      for (int x = 0; x < options.Width; ++x) {
        std::uint32_t pixel = 0;
        std::memcpy(&pixel, drawn.Pixels() + y * drawn.Stride() + x * 4, sizeof pixel);
        differing += filmed.At(x, y) != pixel ? 1 : 0;
      }
    }
    EXPECT_EQ(differing, 0) << "frame " << frame;
  });
  EXPECT_EQ(frames, plan.Frames);
  EXPECT_FALSE(std::filesystem::exists(pictureAt(frames)));
}

}  // namespace
}  // namespace velloway::render
