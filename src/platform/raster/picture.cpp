#include "platform/raster/picture.h"

#include <algorithm>
#include <array>
#include <utility>

#include "platform/raster/raster_backend.h"

namespace velloway::raster {
namespace {

constexpr std::uint32_t kOpaque = 0xFF000000u;

// a x b / 255, rounded as pixman rounds it.
std::uint32_t Multiply(std::uint32_t a, std::uint32_t b) {
  const std::uint32_t t = a * b + 0x80u;
  return ((t >> 8) + t) >> 8;
}

// Multiply of the two bytes 0x00FF00FF keeps of x, each by b, at once (pixman's UN8x4_MUL_UN8):
// each lane's product and its rounding stay below 16 bits.
std::uint32_t MultiplyLanes(std::uint32_t x, std::uint32_t b) {
  const std::uint32_t t = (x & 0x00FF00FFu) * b + 0x00800080u;
  return ((((t >> 8) & 0x00FF00FFu) + t) >> 8) & 0x00FF00FFu;
}

// Picture::Over, two channels at a time: a line is laid over a frame pixel by pixel.
std::uint32_t Blend(std::uint32_t ink, std::uint32_t pixel, std::uint32_t alpha) {
  const std::uint32_t rest = 255 - alpha;
  const std::uint32_t redBlue = MultiplyLanes(ink, alpha) + MultiplyLanes(pixel, rest);
  const std::uint32_t green = MultiplyLanes(ink >> 8, alpha) + MultiplyLanes(pixel >> 8, rest);
  return kOpaque | redBlue | ((green & 0xFFu) << 8);
}

// A pixel of a clear picture: colour with straight alpha.
struct Straight {
  std::array<std::uint32_t, 3> Colour;  // blue, green, red
  std::uint32_t Alpha;
};

Straight Unpack(std::uint32_t pixel) {
  return {{pixel & 0xFFu, (pixel >> 8) & 0xFFu, (pixel >> 16) & 0xFFu}, pixel >> 24};
}

// A colour at alpha laid over a pixel of straight alpha, the result in straight alpha: its alpha
// a + d (1 - a), its colour (c a + colour d (1 - a)) over that. ink holds each channel's c a,
// times 255 x 255 (its colour 0 to 255, the alphas 0 to 1).
std::uint32_t StraightOver(const std::array<std::uint32_t, 3>& ink, std::uint32_t alpha,
                           std::uint32_t pixel) {
  const Straight under = Unpack(pixel);
  const std::uint32_t weight = under.Alpha * (255 - alpha);  // what shows through, x 255 x 255
  const std::uint32_t total = 255 * alpha + weight;          // the result's alpha, x 255 x 255
  std::uint32_t result = ((total + 127) / 255) << 24;
  for (std::size_t channel = 0; channel < 3; ++channel) {
    const std::uint32_t sum = ink[channel] + weight * under.Colour[channel];
    result |= std::min<std::uint32_t>((sum + total / 2) / total, 0xFFu) << (8 * channel);
  }
  return result;
}

// The columns of [left, right) where two rows may differ: on the same base, only where either
// has ink; none when neither has.
std::pair<int, int> Differing(const Picture::RowContent& row, const Picture::RowContent& other,
                              int left, int right) {
  if (!row.Base || row.Base != other.Base) return {left, right};
  int from = right;
  int to = left;
  for (const Picture::RowContent* inked : {&row, &other}) {
    if (inked->InkLeft == inked->InkRight) continue;
    from = std::min(from, inked->InkLeft);
    to = std::max(to, inked->InkRight);
  }
  from = std::max(from, left);
  to = std::min(to, right);
  return from < to ? std::pair{from, to} : std::pair{left, left};
}

}  // namespace

std::uint32_t Picture::PixelOf(Color color) {
  const auto value = static_cast<std::uint32_t>(color);
  return kOpaque | ((value & 0xFFu) << 16) | (value & 0xFF00u) | ((value >> 16) & 0xFFu);
}

Color Picture::ColorOf(std::uint32_t pixel) {
  return static_cast<Color>(((pixel >> 16) & 0xFFu) | (pixel & 0xFF00u) | ((pixel & 0xFFu) << 16));
}

std::uint32_t Picture::Over(std::uint32_t ink, std::uint32_t pixel, std::uint32_t alpha) {
  return Blend(ink, pixel, alpha);
}

Picture::Picture(int width, int height, Backdrop backdrop)
    : backdrop_(backdrop),
      width_(width),
      height_(height),
      own_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
           backdrop == Backdrop::Clear ? 0 : kOpaque),
      pixels_(own_.data()),
      clip_{0, 0, width, height},
      rows_(static_cast<std::size_t>(height),
            RowContent{backdrop == Backdrop::Clear ? 0 : kOpaque, 0, 0}) {}

Picture::Picture(std::span<std::uint32_t> memory, int width, int height)
    : width_(width),
      height_(height),
      pixels_(memory.data()),
      clip_{0, 0, width, height},
      rows_(static_cast<std::size_t>(height)) {}

void Picture::Clip(const platform::PixelRect& area) {
  clip_ = area.Intersect({0, 0, width_, height_});
}

void Picture::Ink(int y, int left, int right) {
  RowContent& row = rows_[static_cast<std::size_t>(y)];
  if (row.InkLeft == row.InkRight) {
    row.InkLeft = left;
    row.InkRight = right;
  } else {
    row.InkLeft = std::min(row.InkLeft, left);
    row.InkRight = std::max(row.InkRight, right);
  }
}

void Picture::FillRect(const platform::PixelRect& rect, Color color) {
  const platform::PixelRect area = rect.Intersect(clip_);
  if (area.IsEmpty()) return;
  const std::uint32_t pixel = PixelOf(color) & (backdrop_ == Backdrop::Clear ? ~kOpaque : ~0u);
  const bool wholeRows = area.Left == 0 && area.Right == width_;
  for (int y = area.Top; y < area.Bottom; ++y) {
    RowContent& content = rows_[static_cast<std::size_t>(y)];
    std::uint32_t* row = pixels_ + static_cast<std::ptrdiff_t>(y) * width_;
    if (content.Base != pixel) {
      std::fill(row + area.Left, row + area.Right, pixel);
      if (wholeRows) {
        content = {pixel, 0, 0};
      } else {
        Ink(y, area.Left, area.Right);
      }
      continue;
    }
    // A frame's background is filled anew each frame: on a row of that pixel, only its ink needs
    // it, and what the fill covers of the ink's ends is that pixel again.
    const int left = std::max(area.Left, content.InkLeft);
    const int right = std::min(area.Right, content.InkRight);
    if (left >= right) continue;
    std::fill(row + left, row + right, pixel);
    const bool fromItsLeft = left == content.InkLeft;
    const bool toItsRight = right == content.InkRight;
    if (fromItsLeft && toItsRight) {
      content.InkLeft = content.InkRight = 0;
    } else if (fromItsLeft) {
      content.InkLeft = right;
    } else if (toItsRight) {
      content.InkRight = left;
    }
  }
}

void Picture::DrawImage(const platform::TextImage& image, int x, int y) {
  // This backend's canvases only ever get this backend's images.
  const auto& text = static_cast<const RasterTextImage&>(image);
  cairo_surface_t* drawn = text.Image.get();
  const int width = cairo_image_surface_get_width(drawn);
  const int height = cairo_image_surface_get_height(drawn);
  const int stride = cairo_image_surface_get_stride(drawn);
  const unsigned char* data = cairo_image_surface_get_data(drawn);
  const platform::PixelRect area =
      platform::PixelRect{x, y, x + width, y + height}.Intersect(clip_);
  if (area.IsEmpty() || data == nullptr) return;
  const bool coverage = cairo_image_surface_get_format(drawn) == CAIRO_FORMAT_A8;
  const std::uint32_t ink = PixelOf(text.Ink);
  if (backdrop_ == Backdrop::Clear && coverage) TintClear(area, ink);
  for (int row = area.Top; row < area.Bottom; ++row) {
    const unsigned char* from = data + static_cast<std::ptrdiff_t>(row - y) * stride;
    std::uint32_t* to = pixels_ + static_cast<std::ptrdiff_t>(row) * width_;
    const auto* colours = reinterpret_cast<const std::uint32_t*>(from) - x;
    if (backdrop_ == Backdrop::Clear) {
      Ink(row, area.Left, area.Right);
      if (coverage) {
        LayClearCoverage(from - x, ink, to, area.Left, area.Right);
      } else {
        LayClearColours(colours, to, area.Left, area.Right);
      }
      continue;
    }
    // Beyond its ink a row of the image lays nothing: the picture's row is not even read there.
    const RasterTextImage::InkedColumns inked = text.Rows[static_cast<std::size_t>(row - y)];
    const int left = std::max(area.Left, x + inked.Left);
    const int right = std::min(area.Right, x + inked.Right);
    if (left >= right) continue;
    Ink(row, left, right);
    if (coverage) {
      LayCoverage(from - x, ink, to, left, right);
    } else {
      LayColours(colours, to, left, right);
    }
  }
}

void Picture::CopyFrom(const Picture& source, const platform::PixelRect& area) {
  const platform::PixelRect part = area.Intersect({0, 0, width_, height_});
  if (part.IsEmpty()) return;
  const bool wholeRows = part.Left == 0 && part.Right == width_;
  for (int y = part.Top; y < part.Bottom; ++y) {
    RowContent& content = rows_[static_cast<std::size_t>(y)];
    const RowContent& copied = source.Row(y);
    const auto [left, right] = Differing(content, copied, part.Left, part.Right);
    const std::ptrdiff_t start = static_cast<std::ptrdiff_t>(y) * width_;
    std::copy(source.pixels_ + start + left, source.pixels_ + start + right,
              pixels_ + start + left);
    // What the row holds now: the source's row where all of it came from there; else, on the same
    // base, ink where either had it; else anything.
    if (wholeRows) {
      content = copied;
    } else if (content.Base && content.Base == copied.Base) {
      const int inkLeft = std::max(copied.InkLeft, part.Left);
      const int inkRight = std::min(copied.InkRight, part.Right);
      if (inkLeft < inkRight) Ink(y, inkLeft, inkRight);
    } else {
      content = {};
    }
  }
}

void Picture::LayCoverage(const unsigned char* alphas, std::uint32_t ink, std::uint32_t* row,
                          int left, int right) {
  // Without a branch, so that the compiler lays several pixels at once: at coverage 0 the pixel
  // stays as it is, at 255 it becomes the ink, exactly.
  for (int column = left; column < right; ++column) {
    row[column] = Blend(ink, row[column], alphas[column]);
  }
}

void Picture::LayColours(const std::uint32_t* colours, std::uint32_t* row, int left, int right) {
  for (int column = left; column < right; ++column) {
    const std::uint32_t colour = colours[column];
    const std::uint32_t alpha = colour >> 24;
    if (alpha == 0) continue;
    // Premultiplied, as PictOpOver lays it: the colour plus what shows through.
    std::uint32_t result = kOpaque;
    for (const int shift : {0, 8, 16}) {
      const std::uint32_t channel =
          ((colour >> shift) & 0xFFu) + Multiply((row[column] >> shift) & 0xFFu, 255 - alpha);
      result |= std::min<std::uint32_t>(channel, 0xFFu) << shift;
    }
    row[column] = result;
  }
}

// Clear pixels around a line's box take its colour, still clear: as far as a format that stores
// colour at half the resolution mixes an edge's colour with its neighbours'.
void Picture::TintClear(const platform::PixelRect& box, std::uint32_t ink) {
  constexpr int kReach = 2;
  const platform::PixelRect around = platform::PixelRect{box.Left - kReach, box.Top - kReach,
                                                         box.Right + kReach, box.Bottom + kReach}
                                         .Intersect(clip_);
  const std::uint32_t tint = ink & ~kOpaque;
  for (int y = around.Top; y < around.Bottom; ++y) {
    Ink(y, around.Left, around.Right);
    std::uint32_t* row = pixels_ + static_cast<std::ptrdiff_t>(y) * width_;
    for (int x = around.Left; x < around.Right; ++x) {
      if (row[x] >> 24 == 0) row[x] = tint;
    }
  }
}

// Where nothing is yet, the line's pixels take its colour, its edges at their coverage.
void Picture::LayClearCoverage(const unsigned char* alphas, std::uint32_t ink, std::uint32_t* row,
                               int left, int right) {
  const Straight line = Unpack(ink);
  for (int column = left; column < right; ++column) {
    const std::uint32_t alpha = alphas[column];
    const std::uint32_t under = row[column];
    if (under >> 24 == 0 || alpha == 255) {
      row[column] = (ink & ~kOpaque) | (alpha << 24);
    } else if (alpha != 0) {
      row[column] = StraightOver({255 * line.Colour[0] * alpha, 255 * line.Colour[1] * alpha,
                                  255 * line.Colour[2] * alpha},
                                 alpha, under);
    }
  }
}

// Colour glyphs keep their colours and their own transparency.
void Picture::LayClearColours(const std::uint32_t* colours, std::uint32_t* row, int left,
                              int right) {
  for (int column = left; column < right; ++column) {
    const Straight colour = Unpack(colours[column]);
    if (colour.Alpha == 0) continue;
    // Premultiplied: each channel is already its colour times its alpha.
    constexpr std::uint32_t kSquare = 255 * 255;
    row[column] = StraightOver(
        {kSquare * colour.Colour[0], kSquare * colour.Colour[1], kSquare * colour.Colour[2]},
        colour.Alpha, row[column]);
  }
}

}  // namespace velloway::raster
