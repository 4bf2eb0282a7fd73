#pragma once
// A frame in memory that forms paint on: 32-bit pixels, bytes blue, green, red and an opaque
// alpha, rows one after another.
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/window_system.h"

namespace velloway::raster {

class Picture : public forms::Canvas {
 public:
  Picture(int width, int height);

  // A colour (red in its low byte) as a pixel.
  static std::uint32_t PixelOf(Color color);
  // ink laid over a pixel at coverage alpha (0 to 255): ink x alpha + pixel x (1 - alpha) in
  // each channel, rounded as XRender (pixman) rounds it.
  static std::uint32_t Over(std::uint32_t ink, std::uint32_t pixel, std::uint32_t alpha);

  // Fills the part of rect inside the picture.
  void FillRect(const forms::PixelRect& rect, Color color) override;
  // Lays a RasterTextImage over the picture, as XRender composites a line's image on the Linux
  // program's window: coverage in the line's colour, or colours as they are; the part outside
  // the picture is left out.
  void DrawImage(const forms::TextImage& image, int x, int y) override;

  int Width() const { return width_; }
  int Height() const { return height_; }
  // The first row; each row is Stride() bytes.
  const std::uint8_t* Pixels() const {
    return reinterpret_cast<const std::uint8_t*>(pixels_.data());
  }
  int Stride() const { return width_ * 4; }
  // The one pixel row y holds all along, when it was last filled whole and nothing was laid over
  // it since: between the lines, a frame's rows are its background alone.
  std::optional<std::uint32_t> PlainRow(int y) const;

 private:
  // One row's columns [left, right) of a line's image over row, the image's columns counted as
  // the row's.
  static void LayCoverage(const unsigned char* alphas, std::uint32_t ink, std::uint32_t* row,
                          int left, int right);
  static void LayColours(const std::uint32_t* colours, std::uint32_t* row, int left, int right);

  int width_;
  int height_;
  std::vector<std::uint32_t> pixels_;  // 0xAARRGGBB: in memory B, G, R, A
  // For each row, its one pixel, or nothing when it may hold more than one.
  std::vector<std::optional<std::uint32_t>> plainRows_;
};

}  // namespace velloway::raster
