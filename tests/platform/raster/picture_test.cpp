// Lines laid over a picture: over an opaque one as XRender blends them; over a clear one with
// straight alpha, an edge in the line's own colour at its coverage (never darkened toward the
// nothing under it), lines over lines as one over the other, colour glyphs in their own colours
// and transparency.
#include "platform/raster/picture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
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

}  // namespace
}  // namespace velloway::raster
