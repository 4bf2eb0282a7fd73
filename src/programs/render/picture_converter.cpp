#include "programs/render/picture_converter.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

namespace velloway::render {
namespace {

// A multiple of every vertical chroma step and of swscale's dither rows.
constexpr int kStripRows = 16;
// Columns are converted in tiles this wide, a multiple of every horizontal chroma step: few
// widths, few scalers.
constexpr int kTileColumns = 64;
// Background columns beside the lines' that a part takes in: more than the chroma filter reaches.
constexpr int kMargin = 8;
// Where chroma has half the rows, libswscale's filter makes a chroma row of its two rows and one
// more on each side: a part is converted with two rows more above and below, whole pairs, so
// that its own rows meet what they meet in a whole frame.
constexpr int kHalfRowsReach = 2;

}  // namespace

PictureConverter::PictureConverter(int width, int height, AVPixelFormat format, bool yuv)
    : width_(width),
      height_(height),
      format_(format),
      yuv_(yuv),
      reach_(av_pix_fmt_desc_get(format)->log2_chroma_h > 0 ? kHalfRowsReach : 0) {}

PictureConverter::Conversion PictureConverter::MakeConversion(int columns, int rows) const {
  Conversion conversion;
  conversion.Scaling.reset(sws_getContext(columns, rows, AV_PIX_FMT_BGRA, columns, rows, format_,
                                          SWS_BILINEAR | SWS_BITEXACT | SWS_ACCURATE_RND, nullptr,
                                          nullptr, nullptr));
  if (!conversion.Scaling) throw FilmError("the film's pixels cannot be converted");
  if (yuv_) {
    sws_setColorspaceDetails(conversion.Scaling.get(), sws_getCoefficients(SWS_CS_DEFAULT), 1,
                             sws_getCoefficients(SWS_CS_ITU709), 0, 0, 1 << 16, 1 << 16);
  }
  conversion.Converted = NewFrame();
  conversion.Converted->format = format_;
  conversion.Converted->width = columns;
  conversion.Converted->height = rows;
  Checked(av_frame_get_buffer(conversion.Converted.get(), 0), "a frame's memory");
  return conversion;
}

const AVFrame& PictureConverter::ConvertWith(Conversion& conversion, const raster::Picture& picture,
                                             const Part& part) {
  const std::uint8_t* source = picture.Pixels() +
                               static_cast<std::ptrdiff_t>(part.Top) * picture.Stride() +
                               static_cast<std::ptrdiff_t>(part.Left) * 4;
  const int stride = picture.Stride();
  AVFrame& converted = *conversion.Converted;
  sws_scale(conversion.Scaling.get(), &source, &stride, 0, part.Bottom - part.Top, converted.data,
            converted.linesize);
  return converted;
}

void PictureConverter::CopyRows(const AVFrame& from, int fromRow, const Part& to,
                                AVFrame& frame) const {
  const AVPixFmtDescriptor* format = av_pix_fmt_desc_get(format_);
  for (int plane = 0; plane < av_pix_fmt_count_planes(format_); ++plane) {
    const int down = plane == 1 || plane == 2 ? format->log2_chroma_h : 0;
    // The bytes of the part's columns, and of those before it: the same in every plane,
    // whatever its pixels.
    const auto bytes =
        static_cast<std::size_t>(av_image_get_linesize(format_, to.Right - to.Left, plane));
    const int across = av_image_get_linesize(format_, to.Left, plane);
    for (int row = 0; row < (to.Bottom - to.Top) >> down; ++row) {
      std::memcpy(frame.data[plane] +
                      static_cast<std::ptrdiff_t>((to.Top >> down) + row) * frame.linesize[plane] +
                      across,
                  from.data[plane] +
                      static_cast<std::ptrdiff_t>((fromRow >> down) + row) * from.linesize[plane],
                  bytes);
    }
  }
}

void PictureConverter::ConvertPart(const raster::Picture& picture, const Part& part,
                                   AVFrame& frame) {
  const int top = std::max(0, part.Top - reach_);
  const int bottom = std::min(height_, part.Bottom + reach_);
  Conversion& conversion = conversions_[{part.Right - part.Left, bottom - top}];
  if (!conversion.Scaling) conversion = MakeConversion(part.Right - part.Left, bottom - top);
  CopyRows(ConvertWith(conversion, picture, {part.Left, top, part.Right, bottom}), part.Top - top,
           part, frame);
}

void PictureConverter::CopyPlain(std::uint32_t pixel, raster::Picture::Backdrop backdrop, int rows,
                                 AVFrame& frame, int y) {
  if (plainPixel_ != pixel) {
    raster::Picture strip(width_, kStripRows, backdrop);
    strip.FillRect({0, 0, width_, kStripRows}, raster::Picture::ColorOf(pixel));
    if (!plainStrip_.Scaling) plainStrip_ = MakeConversion(width_, kStripRows);
    ConvertWith(plainStrip_, strip, {0, 0, width_, kStripRows});
    plainPixel_ = pixel;
  }
  CopyRows(*plainStrip_.Converted, 0, {0, y, width_, y + rows}, frame);
}

// The strip's rows, and those the chroma filter reaches from them, are one pixel but for the
// columns its lines cover: that pixel's strip, then those columns converted, widened to whole
// tiles with background to each side, so that the chroma filter meets there the background it
// meets in a conversion of whole frames.
void PictureConverter::Convert(const raster::Picture& picture, AVFrame& frame) {
  for (int y = 0; y < height_; y += kStripRows) {
    const int rows = std::min(kStripRows, height_ - y);
    const int top = std::max(0, y - reach_);
    const int bottom = std::min(height_, y + rows + reach_);
    const raster::Picture::RowContent& first = picture.Row(top);
    bool oneBase = first.Base.has_value();
    int left = width_;
    int right = 0;
    for (int row = top; oneBase && row < bottom; ++row) {
      const raster::Picture::RowContent& content = picture.Row(row);
      oneBase = content.Base == first.Base;
      if (content.InkLeft < content.InkRight) {
        left = std::min(left, content.InkLeft);
        right = std::max(right, content.InkRight);
      }
    }
    if (!oneBase) {
      ConvertPart(picture, {0, y, width_, y + rows}, frame);
      continue;
    }
    CopyPlain(*first.Base, picture.Kind(), rows, frame, y);
    if (left >= right) continue;
    const int from = std::max(0, (left - kMargin) / kTileColumns * kTileColumns);
    const int to =
        std::min(width_, (right + kMargin + kTileColumns - 1) / kTileColumns * kTileColumns);
    ConvertPart(picture, {from, y, to, y + rows}, frame);
  }
}

}  // namespace velloway::render
