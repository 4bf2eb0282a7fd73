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

}  // namespace

PictureConverter::PictureConverter(int width, int height, AVPixelFormat format, bool yuv)
    : width_(width), height_(height), format_(format), yuv_(yuv), plainStrip_(NewFrame()) {
  plainStrip_->format = format;
  plainStrip_->width = width;
  plainStrip_->height = kStripRows;
  Checked(av_frame_get_buffer(plainStrip_.get(), 0), "a frame's memory");
}

SwsContext* PictureConverter::ScalerFor(int columns, int rows) {
  Scaler& scaler = scalers_[{columns, rows}];
  if (!scaler) {
    scaler.reset(sws_getContext(columns, rows, AV_PIX_FMT_BGRA, columns, rows, format_,
                                SWS_BILINEAR | SWS_BITEXACT | SWS_ACCURATE_RND, nullptr, nullptr,
                                nullptr));
    if (!scaler) throw FilmError("the film's pixels cannot be converted");
    if (yuv_) {
      sws_setColorspaceDetails(scaler.get(), sws_getCoefficients(SWS_CS_DEFAULT), 1,
                               sws_getCoefficients(SWS_CS_ITU709), 0, 0, 1 << 16, 1 << 16);
    }
  }
  return scaler.get();
}

void PictureConverter::ConvertPart(const raster::Picture& picture, const Part& part,
                                   AVFrame& frame) {
  const AVPixFmtDescriptor* format = av_pix_fmt_desc_get(format_);
  std::uint8_t* planes[AV_NUM_DATA_POINTERS] = {};
  for (int plane = 0; plane < av_pix_fmt_count_planes(format_); ++plane) {
    const bool chroma = plane == 1 || plane == 2;
    const int down = chroma ? format->log2_chroma_h : 0;
    // The byte of the part's first column: the same in every plane, whatever its pixels.
    const int across = av_image_get_linesize(format_, part.Left, plane);
    planes[plane] = frame.data[plane] +
                    static_cast<std::ptrdiff_t>(part.Top >> down) * frame.linesize[plane] + across;
  }
  const std::uint8_t* source = picture.Pixels() +
                               static_cast<std::ptrdiff_t>(part.Top) * picture.Stride() +
                               static_cast<std::ptrdiff_t>(part.Left) * 4;
  const int stride = picture.Stride();
  sws_scale(ScalerFor(part.Right - part.Left, part.Bottom - part.Top), &source, &stride, 0,
            part.Bottom - part.Top, planes, frame.linesize);
}

void PictureConverter::CopyPlain(std::uint32_t pixel, int rows, AVFrame& frame, int y) {
  if (plainPixel_ != pixel) {
    raster::Picture strip(width_, kStripRows);
    strip.FillRect({0, 0, width_, kStripRows}, raster::Picture::ColorOf(pixel));
    Checked(av_frame_make_writable(plainStrip_.get()), "a frame's memory");
    ConvertPart(strip, {0, 0, width_, kStripRows}, *plainStrip_);
    plainPixel_ = pixel;
  }
  const AVPixFmtDescriptor* format = av_pix_fmt_desc_get(format_);
  for (int plane = 0; plane < av_pix_fmt_count_planes(format_); ++plane) {
    const int down = plane == 1 || plane == 2 ? format->log2_chroma_h : 0;
    const auto bytes = static_cast<std::size_t>(av_image_get_linesize(format_, width_, plane));
    for (int row = 0; row < rows >> down; ++row) {
      std::memcpy(frame.data[plane] +
                      static_cast<std::ptrdiff_t>((y >> down) + row) * frame.linesize[plane],
                  plainStrip_->data[plane] +
                      static_cast<std::ptrdiff_t>(row) * plainStrip_->linesize[plane],
                  bytes);
    }
  }
}

// The strip's rows are one pixel but for the columns its lines cover: that pixel's strip, then
// those columns converted, widened to whole tiles with background to each side, so that the
// chroma filter meets there the background it meets in a conversion of whole rows.
void PictureConverter::Convert(const raster::Picture& picture, AVFrame& frame) {
  for (int y = 0; y < height_; y += kStripRows) {
    const int rows = std::min(kStripRows, height_ - y);
    const raster::Picture::RowContent& first = picture.Row(y);
    bool oneBase = first.Base.has_value();
    int left = width_;
    int right = 0;
    for (int row = y; oneBase && row < y + rows; ++row) {
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
    CopyPlain(*first.Base, rows, frame, y);
    if (left >= right) continue;
    const int from = std::max(0, (left - kMargin) / kTileColumns * kTileColumns);
    const int to =
        std::min(width_, (right + kMargin + kTileColumns - 1) / kTileColumns * kTileColumns);
    ConvertPart(picture, {from, y, to, y + rows}, frame);
  }
}

}  // namespace velloway::render
