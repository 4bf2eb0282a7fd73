#pragma once
// Pictures into an encoder's pixels through libswscale, bit-exact; where the pixels are luma and
// chroma, as BT.709 in studio range. A picture is converted in strips of rows, each strip alone:
// a strip whose rows are of one pixel (the background) but where lines lie takes that pixel's
// strip, converted once, and only the columns of its lines are converted, so that a frame costs
// about what its lines cover.
#include <cstdint>
#include <map>
#include <optional>
#include <utility>

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
  // A rectangle of the picture, in its pixels.
  struct Part {
    int Left;
    int Top;
    int Right;
    int Bottom;
  };

  // The scaler of a part of that size.
  SwsContext* ScalerFor(int columns, int rows);
  // Converts part of picture into the same part of frame.
  void ConvertPart(const raster::Picture& picture, const Part& part, AVFrame& frame);
  // Copies the rows of the converted plain strip into rows y to y + rows of frame.
  void CopyPlain(std::uint32_t pixel, int rows, AVFrame& frame, int y);

  int width_;
  int height_;
  AVPixelFormat format_;
  bool yuv_;
  std::map<std::pair<int, int>, Scaler> scalers_;  // by a part's columns and rows
  std::optional<std::uint32_t> plainPixel_;
  Frame plainStrip_;  // a strip of plainPixel_ alone, converted
};

}  // namespace velloway::render
