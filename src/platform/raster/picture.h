#pragma once
// A frame in memory that forms paint on: 32-bit pixels, bytes blue, green, red and alpha, rows one
// after another; its own memory, or memory shared with a display server. An opaque picture's
// alpha is always opaque; a clear one's fills are transparent (their colour kept) and lines are
// laid over them with straight, not premultiplied, alpha: a line's edge over nothing is the
// line's own colour at its coverage.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/window_system.h"

namespace velloway::raster {

class Picture : public platform::Canvas {
 public:
  enum class Backdrop { Opaque, Clear };

  // A picture of its own: black, or clear.
  explicit Picture(int width, int height, Backdrop backdrop = Backdrop::Opaque);
  // An opaque picture in memory it does not own, width x height pixels, which may hold
  // anything.
  Picture(std::span<std::uint32_t> memory, int width, int height);
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;
  // A moved vector keeps its storage: the pixels stay where they are.
  Picture(Picture&&) = default;
  Picture& operator=(Picture&&) = default;

  // A colour (red in its low byte) as a pixel.
  static std::uint32_t PixelOf(Color color);
  // A pixel as a colour: PixelOf's reverse.
  static Color ColorOf(std::uint32_t pixel);
  // ink laid over a pixel at coverage alpha (0 to 255): ink x alpha + pixel x (1 - alpha) in
  // each channel, rounded as XRender (pixman) rounds it.
  static std::uint32_t Over(std::uint32_t ink, std::uint32_t pixel, std::uint32_t alpha);

  // What is drawn from now on is clipped to area, and to the picture; at first, the picture.
  void Clip(const platform::PixelRect& area);
  // Fills the part of rect inside the clip: with the colour, or, clear, with nothing.
  void FillRect(const platform::PixelRect& rect, Color color) override;
  // Lays a RasterTextImage over the picture, as XRender composites a line's image on the Linux
  // program's window: coverage in the line's colour, or colours as they are; the part outside
  // the clip is left out.
  void DrawImage(const platform::TextImage& image, int x, int y) override;
  // The pixels of area in source, a picture of the same size, copied to the same place here;
  // the clip does not apply.
  void CopyFrom(const Picture& source, const platform::PixelRect& area);

  Backdrop Kind() const { return backdrop_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // The first row; each row is Stride() bytes.
  const std::uint8_t* Pixels() const { return reinterpret_cast<const std::uint8_t*>(pixels_); }
  int Stride() const { return width_ * 4; }
  // Row y's pixels.
  const std::uint32_t* RowPixels(int y) const {
    return pixels_ + static_cast<std::ptrdiff_t>(y) * width_;
  }
  // What a row holds, as far as the picture knows: when it was last filled whole, that pixel
  // (Base) all along but in the columns from InkLeft to InkRight, where lines were laid over it
  // since (none when they are equal); no Base when it may hold anything. Between the lines, a
  // frame's rows are its background alone, and beside them too.
  struct RowContent {
    std::optional<std::uint32_t> Base;
    int InkLeft = 0;
    int InkRight = 0;
    bool Plain() const { return Base && InkLeft == InkRight; }
  };
  const RowContent& Row(int y) const { return rows_[static_cast<std::size_t>(y)]; }

 private:
  // One row's columns [left, right) of a line's image over row, the image's columns counted as
  // the row's.
  static void LayCoverage(const unsigned char* alphas, std::uint32_t ink, std::uint32_t* row,
                          int left, int right);
  static void LayColours(const std::uint32_t* colours, std::uint32_t* row, int left, int right);
  void TintClear(const platform::PixelRect& box, std::uint32_t ink);
  static void LayClearCoverage(const unsigned char* alphas, std::uint32_t ink, std::uint32_t* row,
                               int left, int right);
  static void LayClearColours(const std::uint32_t* colours, std::uint32_t* row, int left,
                              int right);

  // Marks columns [left, right) of a row as holding more than its base.
  void Ink(int y, int left, int right);

  Backdrop backdrop_ = Backdrop::Opaque;
  int width_;
  int height_;
  std::vector<std::uint32_t> own_;  // empty in memory it does not own
  std::uint32_t* pixels_;           // 0xAARRGGBB: in memory B, G, R, A
  platform::PixelRect clip_;
  std::vector<RowContent> rows_;
};

}  // namespace velloway::raster
