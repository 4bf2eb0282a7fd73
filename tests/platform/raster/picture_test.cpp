// Lines laid over a picture: over an opaque one as XRender blends them; over a clear one with
// straight alpha, an edge in the line's own colour at its coverage (never darkened toward the
// nothing under it), lines over lines as one over the other, colour glyphs in their own colours
// and transparency.
#include "platform/raster/picture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "platform/raster/raster_backend.h"

namespace velloway::raster {
namespace {

constexpr int kWidth = 8;
constexpr int kAt = 3;  // the column the images are laid on

// One pixel of a line's image: 8-bit coverage in the line's colour, or, for a colour glyph, a
// premultiplied 0xAARRGGBB pixel.
struct Laid {
  bool coverage;
  std::uint32_t value;
  Color ink;
};

RasterTextImage ImageOf(const Laid& laid) {
  posix::LineImage image(
      cairo_image_surface_create(laid.coverage ? CAIRO_FORMAT_A8 : CAIRO_FORMAT_ARGB32, 1, 1));
  cairo_surface_flush(image.get());
  unsigned char* data = cairo_image_surface_get_data(image.get());
  if (laid.coverage) {
    data[0] = static_cast<unsigned char>(laid.value);
  } else {
    std::memcpy(data, &laid.value, sizeof laid.value);
  }
  cairo_surface_mark_dirty(image.get());
  return RasterTextImage(std::move(image), laid.ink);
}

TEST(Picture, LaysLinesOverOpaqueAndClearBackdrops) {
  constexpr Color kOrange = 0x0080FF;  // FF8000, red in the low byte
  constexpr Color kRed = 0x0000FF;
  constexpr Color kBlue = 0xFF0000;
  const struct {
    const char* what;
    Picture::Backdrop backdrop;
    std::vector<Laid> laid;  // in turn, on a picture filled black (clear: with nothing)
    std::uint32_t pixel;     // 0xAARRGGBB
  } cases[] = {
      {"opaque: a stroke", Picture::Backdrop::Opaque, {{true, 255, kOrange}}, 0xFFFF8000},
      {"opaque: an edge over black", Picture::Backdrop::Opaque, {{true, 64, kOrange}}, 0xFF402000},
      {"clear: a stroke", Picture::Backdrop::Clear, {{true, 255, kOrange}}, 0xFFFF8000},
      {"clear: an edge keeps its colour",
       Picture::Backdrop::Clear,
       {{true, 64, kOrange}},
       0x40FF8000},
      // Clear still, in the line's colour, so that colours stored at half resolution stay it.
      {"clear: beside the edge", Picture::Backdrop::Clear, {{true, 0, kOrange}}, 0x00FF8000},
      // Alpha 0.5 + 0.5 x 0.5; blue 0.5 / 0.75, red 0.25 / 0.75.
      {"clear: an edge over an edge",
       Picture::Backdrop::Clear,
       {{true, 128, kRed}, {true, 128, kBlue}},
       0xC05500AA},
      {"clear: a colour glyph's half-clear red",
       Picture::Backdrop::Clear,
       {{false, 0x80800000, kOrange}},
       0x80FF0000},
      {"clear: a colour glyph over a stroke",
       Picture::Backdrop::Clear,
       {{true, 255, kBlue}, {false, 0x80800000, kOrange}},
       0xFF80007F},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Picture picture(kWidth, 1, c.backdrop);
    picture.FillRect({0, 0, kWidth, 1}, kBlack);
    for (const Laid& laid : c.laid) picture.DrawImage(ImageOf(laid), kAt, 0);
    std::uint32_t pixel = 0;
    std::memcpy(&pixel, picture.Pixels() + kAt * 4, sizeof pixel);
    EXPECT_EQ(pixel, c.pixel) << std::hex << pixel;
  }
}

// A line rising over two pictures in turn, as a window's buffers take turns: each frame brings the
// picture up to date from the other, then fills where the line was and is and lays it there. Each
// frame is the same as one painted whole, though the pictures skip what their rows' background
// already holds.
TEST(Picture, RepaintsOnlyWhatItsRowsNeedAndShowsTheSame) {
  constexpr int kSize = 16;
  constexpr int kLeft = 5;
  constexpr int kStep = 3;
  constexpr Color kBackground = 0x2A1005;
  constexpr Color kInk = 0x40E060;
  // Rows with nothing, with ink apart, and with ink across the whole image.
  const std::vector<std::vector<unsigned char>> rows = {
      {0, 0, 0, 0, 0, 0},  {0, 90, 255, 0, 0, 0},  {0, 0, 0, 0, 0, 0},
      {0, 0, 0, 0, 17, 0}, {200, 1, 1, 1, 1, 255}, {0, 0, 0, 0, 0, 0}};
  const int width = static_cast<int>(rows.front().size());
  const int height = static_cast<int>(rows.size());
  posix::LineImage drawn(cairo_image_surface_create(CAIRO_FORMAT_A8, width, height));
  cairo_surface_flush(drawn.get());
  for (int y = 0; y < height; ++y) {
    std::memcpy(cairo_image_surface_get_data(drawn.get()) +
                    static_cast<std::ptrdiff_t>(y) * cairo_image_surface_get_stride(drawn.get()),
                rows[static_cast<std::size_t>(y)].data(), static_cast<std::size_t>(width));
  }
  cairo_surface_mark_dirty(drawn.get());
  const RasterTextImage line(std::move(drawn), kInk);
  const auto box = [&](int frame) {
    const int top = kSize - 2 - frame * kStep;
    return platform::PixelRect{kLeft, top, kLeft + width, top + height};
  };
  std::vector<std::uint32_t> memory(2 * kSize * kSize, 0xDEADBEEF);
  Picture pictures[] = {{std::span(memory).first(kSize * kSize), kSize, kSize},
                        {std::span(memory).last(kSize * kSize), kSize, kSize}};
  for (Picture& picture : pictures) picture.FillRect({0, 0, kSize, kSize}, kBackground);
  for (int frame = 1; frame < 7; ++frame) {
    SCOPED_TRACE(frame);
    Picture& picture = pictures[frame % 2];
    picture.CopyFrom(pictures[(frame + 1) % 2], box(frame - 1).Union(box(frame - 2)));
    const platform::PixelRect changed = box(frame).Union(box(frame - 1));
    picture.Clip(changed);
    picture.FillRect(changed, kBackground);
    picture.DrawImage(line, box(frame).Left, box(frame).Top);
    Picture whole(kSize, kSize);
    whole.FillRect({0, 0, kSize, kSize}, kBackground);
    whole.DrawImage(line, box(frame).Left, box(frame).Top);
    EXPECT_EQ(std::memcmp(picture.Pixels(), whole.Pixels(), kSize * kSize * 4), 0);
  }
}

}  // namespace
}  // namespace velloway::raster
