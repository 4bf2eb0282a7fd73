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
#include "programs/render/film_error.h"
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

// --fit: one pass lasts the length asked, to the frame, every line, spacing, WAIT and CLEAR at one
// pace; passes after it at the same pace; a roll faster or slower than a film can show refused,
// and a fit to music without music.
TEST(FilmRun, FitsOnePassToItsLengthAtOnePace) {
  const std::string line = "TEXT\tDejaVu Sans\t0\tcredits\tFFFFFF\t2\n";
  const std::string lines = "HEADER\t14\t3\tMID\t102040\n" + line + line;
  const struct {
    const char* what;
    std::string script;
    FitLength fit;
    int fps, loops;
    std::int64_t frames;  // 0: refused
    const char* refusal = "";
  } cases[] = {
      {"a final WAIT, slower", kWaitScript, {3.0}, 50, 1, 150},
      {"a final WAIT, faster", kWaitScript, {0.5}, 24, 1, 12},
      // Passes follow one another as in the saver, each at the fitted pace: a pass of 100 frames
      // starts over at its 91st frame, its 11 ticks' 91.7 %.
      {"three passes", kWaitScript, {2.0}, 50, 3, 3 * 100 - 2 * 9},
      {"lines rolled away", lines, {7.3}, 30, 1, 219},
      {"a CLEAR", "HEADER\t14\t2\tMID\t102040\n" + line + "CLEAR\n" + line, {4.02}, 50, 1, 201},
      {"faster than a film shows", kWaitScript, {0.01}, 50, 1, 0, "faster than a film shows"},
      {"slower than a pixel every two seconds",
       kWaitScript,
       {40'000},
       50,
       1,
       0,
       "slower than a pixel every two seconds"},
      {"music without music", lines, {0, true}, 50, 1, 0, "plays no music"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RenderOptions options = Options(c.fps, c.loops, std::nullopt);
    options.Width = 320;  // a screen height a second: 240 pixels
    options.Height = 240;
    options.Fit = c.fit;
    const FilmScript script{ParseScript(c.script), "/", 1252};
    if (c.frames == 0) {
      try {
        PlanFilm(options, script);
        ADD_FAILURE() << "fitted";
      } catch (const FilmError& error) {
        EXPECT_NE(std::string(error.what()).find(c.refusal), std::string::npos) << error.what();
      }
      continue;
    }
    const FilmPlan plan = PlanFilm(options, script);
    EXPECT_EQ(plan.Frames, c.frames);
    EXPECT_NE(plan.Fitted.find("one pass "), std::string::npos) << plan.Fitted;
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
