#pragma once
// Pictures into an encoder's pixels through libswscale, bit-exact; where the pixels are luma and
// chroma, as BT.709 in studio range. A picture is converted in strips of rows, each strip alone,
// with the rows around it that its chroma is made of: a strip whose rows are of one pixel (the
// background) but where lines lie takes that pixel's strip, converted once, and only the columns
// of its lines are converted, so that a frame costs about what its lines cover. The frame is the
// same to the byte as the whole picture through libswscale at once.
#include <cstdint>
#include <map>
#include <optional>
#include <utility>

#include "platform/raster/picture.h"
#include "programs/render/ffmpeg_handles.h"

namespace velloway::render {

class PictureConverter {
 public:
  // Pictures of that size (even sides: chroma may take half of each) into frames of format;
  // yuv: its pixels are luma and chroma.
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
  // The scaler of a part's size and the frame it converts into.
  struct Conversion {
    Scaler Scaling;
    Frame Converted;
  };

  // A scaler of parts of that size, and a frame of its own to convert them into.
  Conversion MakeConversion(int columns, int rows) const;
  // Part of picture converted alone, into conversion's frame (of the part's size).
  static const AVFrame& ConvertWith(Conversion& conversion, const raster::Picture& picture,
                                    const Part& part);
  // Copies from's rows from fromRow on into the place of part `to` in frame.
  void CopyRows(const AVFrame& from, int fromRow, const Part& to, AVFrame& frame) const;
  // Converts part of picture into the same part of frame, as a whole frame's conversion makes it.
  void ConvertPart(const raster::Picture& picture, const Part& part, AVFrame& frame);
  // Copies the rows of the converted plain strip (pixel alone, in a picture of that backdrop) into
  // rows y to y + rows of frame.
  void CopyPlain(std::uint32_t pixel, raster::Picture::Backdrop backdrop, int rows, AVFrame& frame,
                 int y);

  int width_;
  int height_;
  AVPixelFormat format_;
  bool yuv_;
  int reach_;  // rows above and below a part that its chroma rows are made of
  std::map<std::pair<int, int>, Conversion> conversions_;  // by a part's columns and rows
  std::optional<std::uint32_t> plainPixel_;
  Conversion plainStrip_;  // a strip of plainPixel_ alone, converted: a frame no part takes
};

}  // namespace velloway::render
