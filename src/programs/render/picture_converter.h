#pragma once
// Pictures into an encoder's pixels: luma and chroma as BT.709 in studio range at 8 or 10 bits,
// chroma sited with the even columns (each sample of halved columns weighs its column twice and
// its neighbours once; of halved rows, its two rows alike), with alpha where the format has it;
// or red, green and blue bytes. Integer arithmetic alone, so the same picture gives the same
// bytes on any machine. A row the picture knows to be one pixel but for the columns its lines
// cover is that pixel's converted row, copied, with only those columns converted (and the chroma
// samples that reach them), so that a frame costs about what its lines cover.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/raster/picture.h"
#include "programs/render/ffmpeg_handles.h"

namespace velloway::render {

class PictureConverter {
 public:
  // Pictures of that size (even sides: chroma may take half of each) into frames of format: one
  // of the planar luma-chroma formats at 8 or 10 bits, with or without alpha, or RGB24 or RGBA;
  // throws FilmError for another.
  PictureConverter(int width, int height, AVPixelFormat format);

  // The picture into frame (writable, of the converter's size and format).
  void Convert(const raster::Picture& picture, AVFrame& frame);

 private:
  enum class Kind { Luma, Chroma, Alpha, Packed };
  // One of the frame's planes: what its samples are, their size, and the picture's pixels each
  // is made of.
  struct Plane {
    Kind What;
    std::array<int, 2> Index;  // in the frame's data; chroma: the blue's, then the red's
    int Bytes;                 // a sample's
    int Across = 0;            // log2 of the pixels a sample spans in a row
    int Down = 0;              // and in a column
    int Channels = 1;
    // One row's samples when every pixel is this pixel (chroma: the blue's, then the red's), and
    // the pixel they are of.
    std::vector<std::uint8_t> PlainRow;
    std::optional<std::uint32_t> PlainPixel;
  };

  // Where a plane's row goes: chroma's blue and red rows, or one row.
  using Outputs = std::array<std::uint8_t*, 2>;
  // A sample's share of each channel, fixed point.
  struct Weights {
    int R = 0;
    int G = 0;
    int B = 0;
  };
  // The channels weighed, plus offset, shifted down and rounded.
  static int Weighted(const Weights& w, int red, int green, int blue, int offset, int shift);
  // Samples [from, to) of a plane's row made of the picture's rows from `top` on.
  void ConvertSpan(const Plane& plane, const raster::Picture& picture, int top, int from, int to,
                   const Outputs& out) const;
  template <typename Sample>
  void ConvertLuma(const raster::Picture& picture, int top, int from, int to,
                   std::uint8_t* out) const;
  template <typename Sample>
  void ConvertAlpha(const raster::Picture& picture, int top, int from, int to,
                    std::uint8_t* out) const;
  static void ConvertPacked(int channels, const raster::Picture& picture, int top, int from, int to,
                            std::uint8_t* out);
  template <typename Sample, int Across>
  void ConvertChroma(int down, const raster::Picture& picture, int top, int from, int to,
                     const Outputs& out) const;
  // The plane's row of samples when every pixel is pixel, in a picture of that backdrop.
  const std::vector<std::uint8_t>& PlainRowOf(Plane& plane, std::uint32_t pixel,
                                              raster::Picture::Backdrop backdrop) const;
  // A plane's sample row made of the picture's rows from `top` on, into out.
  void ConvertRow(Plane& plane, const raster::Picture& picture, int top, const Outputs& out) const;
  // The bytes of one of a plane's rows.
  std::size_t RowBytes(const Plane& plane) const;

  int width_;
  int height_;
  int depth_;  // bits of a luma, chroma or alpha sample
  Weights luma_;
  Weights blue_;
  Weights red_;
  int lumaOffset_ = 0;
  int chromaOffset_ = 0;
  std::vector<Plane> planes_;
};

}  // namespace velloway::render
