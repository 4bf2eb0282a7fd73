#include "programs/render/picture_converter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace velloway::render {
namespace {

// Weights are fixed point with this many bits below the point.
constexpr int kFraction = 15;
// BT.709's share of red and of blue in luma.
constexpr double kRed = 0.2126;
constexpr double kBlue = 0.0722;

int Fixed(double value) {
  return static_cast<int>(std::lround(value * (1 << kFraction)));
}

// A pixel's channels; 0xAARRGGBB.
int RedOf(std::uint32_t pixel) {
  return static_cast<int>((pixel >> 16) & 0xFF);
}
int GreenOf(std::uint32_t pixel) {
  return static_cast<int>((pixel >> 8) & 0xFF);
}
int BlueOf(std::uint32_t pixel) {
  return static_cast<int>(pixel & 0xFF);
}
int AlphaOf(std::uint32_t pixel) {
  return static_cast<int>(pixel >> 24);
}

// A sample of one or two bytes, the low byte first.
void Store(std::uint8_t* out, int index, std::uint8_t value) {
  out[index] = value;
}
void Store(std::uint8_t* out, int index, std::uint16_t value) {
  out[2 * index] = static_cast<std::uint8_t>(value & 0xFF);
  out[2 * index + 1] = static_cast<std::uint8_t>(value >> 8);
}

// Whether pictures may be converted into the format.
bool Converts(AVPixelFormat format) {
  if (format == AV_PIX_FMT_RGB24 || format == AV_PIX_FMT_RGBA) return true;
  const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
  const std::uint64_t unwanted = AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_BE | AV_PIX_FMT_FLAG_PAL |
                                 AV_PIX_FMT_FLAG_FLOAT | AV_PIX_FMT_FLAG_BITSTREAM;
  return d != nullptr && (d->flags & AV_PIX_FMT_FLAG_PLANAR) && !(d->flags & unwanted) &&
         d->nb_components >= 3 && (d->comp[0].depth == 8 || d->comp[0].depth == 10) &&
         d->log2_chroma_w <= 1 && d->log2_chroma_h <= 1;
}

}  // namespace

PictureConverter::PictureConverter(int width, int height, AVPixelFormat format)
    : width_(width), height_(height) {
  if (!Converts(format)) throw FilmError("the film's pixels cannot be converted");
  if (format == AV_PIX_FMT_RGB24 || format == AV_PIX_FMT_RGBA) {
    depth_ = 8;
    planes_.push_back({Kind::Packed, {0, 0}, 1, 0, 0, format == AV_PIX_FMT_RGBA ? 4 : 3, {}, {}});
    return;
  }
  const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
  depth_ = d->comp[0].depth;
  const int bytes = (depth_ + 7) / 8;
  planes_.push_back({Kind::Luma, {d->comp[0].plane, 0}, bytes, 0, 0, 1, {}, {}});
  planes_.push_back({Kind::Chroma,
                     {d->comp[1].plane, d->comp[2].plane},
                     bytes,
                     d->log2_chroma_w,
                     d->log2_chroma_h,
                     1,
                     {},
                     {}});
  if (d->flags & AV_PIX_FMT_FLAG_ALPHA) {
    planes_.push_back({Kind::Alpha, {d->comp[3].plane, 0}, bytes, 0, 0, 1, {}, {}});
  }
  // Studio range: luma from 16 to 235 and chroma from 16 to 240 around 128, at 8 bits; each
  // scaled up at 10. Weights that sum to what white makes, and chroma's to nothing, so that grey
  // has no colour.
  const double scale = 1 << (depth_ - 8);
  const double luma = 219 * scale / 255;
  const double chroma = 224 * scale / 255;
  lumaOffset_ = 16 << (depth_ - 8);
  chromaOffset_ = 128 << (depth_ - 8);
  luma_.R = Fixed(kRed * luma);
  luma_.B = Fixed(kBlue * luma);
  luma_.G = Fixed(luma) - luma_.R - luma_.B;
  blue_.R = Fixed(-kRed / (2 * (1 - kBlue)) * chroma);
  blue_.B = Fixed(0.5 * chroma);
  blue_.G = -blue_.R - blue_.B;
  red_.B = Fixed(-kBlue / (2 * (1 - kRed)) * chroma);
  red_.R = Fixed(0.5 * chroma);
  red_.G = -red_.R - red_.B;
}

int PictureConverter::Weighted(const Weights& w, int red, int green, int blue, int offset,
                               int shift) {
  return (w.R * red + w.G * green + w.B * blue + (offset << shift) + (1 << (shift - 1))) >> shift;
}

void PictureConverter::ConvertSpan(const Plane& plane, const raster::Picture& picture, int top,
                                   int from, int to, const Outputs& out) const {
  const bool wide = plane.Bytes == 2;
  switch (plane.What) {
    case Kind::Luma:
      return wide ? ConvertLuma<std::uint16_t>(picture, top, from, to, out[0])
                  : ConvertLuma<std::uint8_t>(picture, top, from, to, out[0]);
    case Kind::Alpha:
      return wide ? ConvertAlpha<std::uint16_t>(picture, top, from, to, out[0])
                  : ConvertAlpha<std::uint8_t>(picture, top, from, to, out[0]);
    case Kind::Packed:
      return ConvertPacked(plane.Channels, picture, top, from, to, out[0]);
    case Kind::Chroma:
      break;
  }
  const int down = plane.Down;
  if (plane.Across == 0) {
    return wide ? ConvertChroma<std::uint16_t, 0>(down, picture, top, from, to, out)
                : ConvertChroma<std::uint8_t, 0>(down, picture, top, from, to, out);
  }
  return wide ? ConvertChroma<std::uint16_t, 1>(down, picture, top, from, to, out)
              : ConvertChroma<std::uint8_t, 1>(down, picture, top, from, to, out);
}

template <typename Sample>
void PictureConverter::ConvertLuma(const raster::Picture& picture, int top, int from, int to,
                                   std::uint8_t* out) const {
  const std::uint32_t* row = picture.RowPixels(top);
  for (int x = from; x < to; ++x) {
    const std::uint32_t p = row[x];
    Store(out, x,
          static_cast<Sample>(
              Weighted(luma_, RedOf(p), GreenOf(p), BlueOf(p), lumaOffset_, kFraction)));
  }
}

template <typename Sample>
void PictureConverter::ConvertAlpha(const raster::Picture& picture, int top, int from, int to,
                                    std::uint8_t* out) const {
  const std::uint32_t* row = picture.RowPixels(top);
  const int most = (1 << depth_) - 1;
  for (int x = from; x < to; ++x) {
    Store(out, x, static_cast<Sample>((AlphaOf(row[x]) * most + 127) / 255));
  }
}

void PictureConverter::ConvertPacked(int channels, const raster::Picture& picture, int top,
                                     int from, int to, std::uint8_t* out) {
  const std::uint32_t* row = picture.RowPixels(top);
  for (int x = from; x < to; ++x) {
    const std::uint32_t p = row[x];
    std::uint8_t* sample = out + static_cast<std::ptrdiff_t>(x) * channels;
    sample[0] = static_cast<std::uint8_t>(RedOf(p));
    sample[1] = static_cast<std::uint8_t>(GreenOf(p));
    sample[2] = static_cast<std::uint8_t>(BlueOf(p));
    if (channels == 4) sample[3] = static_cast<std::uint8_t>(AlphaOf(p));
  }
}

// A sample of halved columns weighs the column under it twice and those beside it once (the
// column after it is the next sample's column before); of halved rows, its two rows alike.
template <typename Sample, int Across>
void PictureConverter::ConvertChroma(int down, const raster::Picture& picture, int top, int from,
                                     int to, const Outputs& out) const {
  struct Sum {
    int Red, Green, Blue;
  };
  const std::uint32_t* upper = picture.RowPixels(top);
  const std::uint32_t* lower = picture.RowPixels(top + down);  // the same row when rows are whole
  const auto column = [&](int x) {
    const std::uint32_t a = upper[x];
    const std::uint32_t b = lower[x];
    return Sum{RedOf(a) + RedOf(b), GreenOf(a) + GreenOf(b), BlueOf(a) + BlueOf(b)};
  };
  const int shift = kFraction + 1 + 2 * Across;  // a whole row counts twice
  const auto store = [&](int s, const Sum& sum) {
    Store(out[0], s,
          static_cast<Sample>(Weighted(blue_, sum.Red, sum.Green, sum.Blue, chromaOffset_, shift)));
    Store(out[1], s,
          static_cast<Sample>(Weighted(red_, sum.Red, sum.Green, sum.Blue, chromaOffset_, shift)));
  };
  if constexpr (Across == 0) {
    for (int s = from; s < to; ++s) store(s, column(s));
  } else {
    Sum before = column(std::max(0, 2 * from - 1));
    for (int s = from; s < to; ++s) {
      const Sum under = column(2 * s);
      const Sum after = column(std::min(width_ - 1, 2 * s + 1));
      store(s,
            {before.Red + 2 * under.Red + after.Red, before.Green + 2 * under.Green + after.Green,
             before.Blue + 2 * under.Blue + after.Blue});
      before = after;
    }
  }
}

const std::vector<std::uint8_t>& PictureConverter::PlainRowOf(
    Plane& plane, std::uint32_t pixel, raster::Picture::Backdrop backdrop) const {
  if (plane.PlainPixel != pixel) {
    const std::size_t bytes = RowBytes(plane);
    plane.PlainRow.resize(plane.What == Kind::Chroma ? 2 * bytes : bytes);
    raster::Picture plain(width_, 1 << plane.Down, backdrop);
    plain.FillRect({0, 0, width_, 1 << plane.Down}, raster::Picture::ColorOf(pixel));
    ConvertSpan(plane, plain, 0, 0, width_ >> plane.Across,
                {plane.PlainRow.data(), plane.PlainRow.data() + bytes});
    plane.PlainPixel = pixel;
  }
  return plane.PlainRow;
}

std::size_t PictureConverter::RowBytes(const Plane& plane) const {
  return static_cast<std::size_t>((width_ >> plane.Across) * plane.Bytes * plane.Channels);
}

// The rows of one pixel but for their lines' columns take that pixel's row, then those columns
// converted: for halved columns, the samples whose neighbours lie there too.
void PictureConverter::ConvertRow(Plane& plane, const raster::Picture& picture, int top,
                                  const Outputs& out) const {
  const int samples = width_ >> plane.Across;
  const raster::Picture::RowContent& first = picture.Row(top);
  bool oneBase = first.Base.has_value();
  int left = width_;
  int right = 0;
  for (int y = top; oneBase && y < top + (1 << plane.Down); ++y) {
    const raster::Picture::RowContent& content = picture.Row(y);
    oneBase = content.Base == first.Base;
    if (content.InkLeft < content.InkRight) {
      left = std::min(left, content.InkLeft);
      right = std::max(right, content.InkRight);
    }
  }
  if (!oneBase) {
    ConvertSpan(plane, picture, top, 0, samples, out);
    return;
  }
  const std::vector<std::uint8_t>& plain = PlainRowOf(plane, *first.Base, picture.Kind());
  const std::size_t bytes = RowBytes(plane);
  for (std::size_t output = 0; output * bytes < plain.size(); ++output) {
    std::memcpy(out[output], plain.data() + output * bytes, bytes);
  }
  if (left >= right) return;
  const int from = plane.Across == 0 ? left : left >> 1;
  const int to = plane.Across == 0 ? right : std::min(samples, (right >> 1) + 1);
  ConvertSpan(plane, picture, top, from, to, out);
}

void PictureConverter::Convert(const raster::Picture& picture, AVFrame& frame) {
  for (Plane& plane : planes_) {
    const auto rowOf = [&](std::size_t output, int row) {
      const int index = plane.Index[output];
      return frame.data[index] + static_cast<std::ptrdiff_t>(row) * frame.linesize[index];
    };
    for (int row = 0; row < height_ >> plane.Down; ++row) {
      ConvertRow(plane, picture, row << plane.Down, {rowOf(0, row), rowOf(1, row)});
    }
  }
}

}  // namespace velloway::render
