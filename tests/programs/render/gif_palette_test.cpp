// A GIF's palette keeps the roll's colours: every line colour maps onto itself, and with one line
// colour, so does each step of coverage its antialiased edges take over the background.
#include "programs/render/gif_palette.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <cstring>
#include <vector>

#include "platform/raster/raster_backend.h"

namespace velloway::render {
namespace {

constexpr int kSteps = 256;

// A line's image one row high whose coverage runs from 0 to 255 across it.
raster::RasterTextImage CoverageRamp(Color ink) {
  posix::LineImage ramp(cairo_image_surface_create(CAIRO_FORMAT_A8, kSteps, 1));
  cairo_surface_flush(ramp.get());
  unsigned char* alphas = cairo_image_surface_get_data(ramp.get());
  for (int step = 0; step < kSteps; ++step) alphas[step] = static_cast<unsigned char>(step);
  cairo_surface_mark_dirty(ramp.get());
  return raster::RasterTextImage(std::move(ramp), ink);
}

// The pixel at (x, y) of a palette frame, as the palette gives it.
std::uint32_t Shown(const AVFrame& frame, int x, int y) {
  const std::uint8_t index = frame.data[0][y * frame.linesize[0] + x];
  std::uint32_t pixel = 0;
  std::memcpy(&pixel, frame.data[1] + index * 4, sizeof pixel);
  return pixel;
}

std::uint32_t PictureAt(const raster::Picture& picture, int x, int y) {
  std::uint32_t pixel = 0;
  std::memcpy(&pixel, picture.Pixels() + y * picture.Stride() + x * 4, sizeof pixel);
  return pixel;
}

TEST(GifPalette, MapsEachOfARollsColoursExactly) {
  const struct {
    const char* what;
    Color background;
    std::vector<Color> inks;  // red in the low byte
  } cases[] = {
      {"red on black", 0x000000, {0x0000FF}},
      {"green on black", 0x000000, {0x00FF00}},
      {"blue on black", 0x000000, {0xFF0000}},
      {"white on the tests' blue", 0x402010, {0xFFFFFF}},
      {"an ink of the background's colour beside another", 0x2A1005, {0x2A1005, 0x4040FF}},
      {"the default roll's colours",
       0x2A1005,
       {0xFFD966, 0xC8C8C8, 0xFF8080, 0xFFFFFF, 0x4040FF, 0x00C0FF, 0x60E060, 0xFFC040, 0xE0E0E0,
        0xA0A0A0}},
  };
  for (const auto& c : cases) {
    const int rows = static_cast<int>(c.inks.size());
    raster::Picture picture(kSteps, rows);
    picture.FillRect({0, 0, kSteps, rows}, c.background);
    for (int row = 0; row < rows; ++row) {
      picture.DrawImage(CoverageRamp(c.inks[static_cast<std::size_t>(row)]), 0, row);
    }
    const Frame frame = NewFrame();
    frame->format = AV_PIX_FMT_PAL8;
    frame->width = kSteps;
    frame->height = rows;
    ASSERT_GE(av_frame_get_buffer(frame.get(), 0), 0);
    GifPalette palette(c.background, c.inks);
    palette.Map(picture, *frame);
    // Each ink whole and the background beside it; with one ink, every step between them.
    const int step = rows == 1 ? 1 : kSteps - 1;
    for (int row = 0; row < rows; ++row) {
      for (int x = 0; x < kSteps; x += step) {
        EXPECT_EQ(Shown(*frame, x, row), PictureAt(picture, x, row))
            << c.what << ": ink " << row << ", coverage " << x;
      }
    }
  }
}

}  // namespace
}  // namespace velloway::render
