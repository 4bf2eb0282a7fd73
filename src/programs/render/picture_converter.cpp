#include "programs/render/picture_converter.h"

#include <algorithm>
#include <cstring>
#include <vector>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

namespace velloway::render {
namespace {

// A multiple of every vertical chroma step and of swscale's dither rows.
constexpr int kStripRows = 16;

}  // namespace

PictureConverter::PictureConverter(int width, int height, AVPixelFormat format, bool yuv)
    : width_(width), height_(height), format_(format), yuv_(yuv), plainStrip_(av_frame_alloc()) {
  plainStrip_->format = format;
  plainStrip_->width = width;
  plainStrip_->height = kStripRows;
  Checked(av_frame_get_buffer(plainStrip_.get(), 0), "a frame's memory");
}

SwsContext* PictureConverter::ScalerFor(int rows) {
  Scaler& scaler = scalers_[rows];
  if (!scaler) {
    scaler.reset(sws_getContext(width_, rows, AV_PIX_FMT_BGRA, width_, rows, format_,
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

void PictureConverter::ConvertStrip(const std::uint8_t* top, int stride, int rows, AVFrame& frame,
                                    int y) {
  const AVPixFmtDescriptor* format = av_pix_fmt_desc_get(format_);
  std::uint8_t* planes[AV_NUM_DATA_POINTERS] = {};
  for (int plane = 0; plane < av_pix_fmt_count_planes(format_); ++plane) {
    const int shift = plane == 1 || plane == 2 ? format->log2_chroma_h : 0;
    planes[plane] =
        frame.data[plane] + static_cast<std::ptrdiff_t>(y >> shift) * frame.linesize[plane];
  }
  sws_scale(ScalerFor(rows), &top, &stride, 0, rows, planes, frame.linesize);
}

void PictureConverter::CopyPlain(std::uint32_t pixel, int rows, AVFrame& frame, int y) {
  if (plainPixel_ != pixel) {
    const std::vector<std::uint32_t> strip(static_cast<std::size_t>(width_) * kStripRows, pixel);
    Checked(av_frame_make_writable(plainStrip_.get()), "a frame's memory");
    ConvertStrip(reinterpret_cast<const std::uint8_t*>(strip.data()), width_ * 4, kStripRows,
                 *plainStrip_, 0);
    plainPixel_ = pixel;
  }
  const AVPixFmtDescriptor* format = av_pix_fmt_desc_get(format_);
  for (int plane = 0; plane < av_pix_fmt_count_planes(format_); ++plane) {
    const int shift = plane == 1 || plane == 2 ? format->log2_chroma_h : 0;
    const auto bytes = static_cast<std::size_t>(av_image_get_linesize(format_, width_, plane));
    for (int row = 0; row < rows >> shift; ++row) {
      std::memcpy(frame.data[plane] +
                      static_cast<std::ptrdiff_t>((y >> shift) + row) * frame.linesize[plane],
                  plainStrip_->data[plane] +
                      static_cast<std::ptrdiff_t>(row) * plainStrip_->linesize[plane],
                  bytes);
    }
  }
}

void PictureConverter::Convert(const raster::Picture& picture, AVFrame& frame) {
  for (int y = 0; y < height_; y += kStripRows) {
    const int rows = std::min(kStripRows, height_ - y);
    const std::optional<std::uint32_t> first = picture.PlainRow(y);
    bool plain = first.has_value();
    for (int row = y + 1; plain && row < y + rows; ++row) plain = picture.PlainRow(row) == first;
    if (plain) {
      CopyPlain(*first, rows, frame, y);
    } else {
      ConvertStrip(picture.Pixels() + static_cast<std::ptrdiff_t>(y) * picture.Stride(),
                   picture.Stride(), rows, frame, y);
    }
  }
}

}  // namespace velloway::render
