#pragma once
// Pictures into an encoder's pixels through libswscale, bit-exact; where the pixels are luma and
// chroma, as BT.709 in studio range. A picture is converted in strips of rows, each strip alone:
// a strip whose rows are all of one pixel (the background between the lines) takes that pixel's
// strip, converted once, so that a frame costs about what its lines cover.
#include <cstdint>
#include <map>
#include <optional>

#include "platform/raster/picture.h"
#include "programs/render/ffmpeg_handles.h"

namespace velloway::render {

class PictureConverter {
 public:
  // Pictures of that size into frames of format; yuv: its pixels are luma and chroma.
  PictureConverter(int width, int height, AVPixelFormat format, bool yuv);

  // The picture into frame (writable, of the converter's size and format).
  void Convert(const raster::Picture& picture, AVFrame& frame);

 private:
  // The scaler of a strip of that many rows.
  SwsContext* ScalerFor(int rows);
  void ConvertStrip(const std::uint8_t* top, int stride, int rows, AVFrame& frame, int y);
  // Copies the rows of the converted plain strip into rows y to y + rows of frame.
  void CopyPlain(std::uint32_t pixel, int rows, AVFrame& frame, int y);

  int width_;
  int height_;
  AVPixelFormat format_;
  bool yuv_;
  std::map<int, Scaler> scalers_;  // by a strip's rows: the strip's and the last one's
  std::optional<std::uint32_t> plainPixel_;
  Frame plainStrip_;  // a strip of plainPixel_ alone, converted
};

}  // namespace velloway::render
