#pragma once
// GDI drawing for the forms toolkit: fonts by FontSpec, a canvas on any DC, and the back buffer
// that windows paint through so that only the changed rectangles reach the screen.
#include <windows.h>

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "platform/win32/win32_handles.h"
#include "platform/window_system.h"

namespace velloway::win32 {

// A colour value (red + 256 * green + 65536 * blue) as GDI takes it; a system colour
// (0x800000nn) becomes that colour's current value.
COLORREF ToColorRef(Color color);

// A 32-bit top-down DIB selected into a memory DC of its own: the windows' back buffer, and an
// offscreen picture whose pixels can be read.
class Surface {
 public:
  Surface() = default;
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  // Makes the surface at least width x height pixels; its content is lost when it grows.
  // Returns false when the bitmap cannot be made.
  bool Reserve(int width, int height);
  HDC Dc() const { return dc_.get(); }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // The colour value at (x, y) in surface pixels.
  Color Pixel(int x, int y) const;
  // Row y of the pixels, 0x00RRGGBB each; flush GDI's drawing first (GdiFlush).
  std::uint32_t* Row(int y) const {
    return bits_ + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
  }

 private:
  UniqueDc dc_;
  UniqueBitmap bitmap_;
  SelectGuard selection_;  // declared after the bitmap: deselects it before it is deleted
  std::uint32_t* bits_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

// The fonts made so far, one HFONT per FontSpec, sized for a given vertical DPI, and the band
// that lines are drawn in between whole pixels.
class FontCache {
 public:
  explicit FontCache(int dpiY);
  FontCache(const FontCache&) = delete;
  FontCache& operator=(const FontCache&) = delete;

  // The HFONT for this font; a face that cannot be made falls back to the default GUI font.
  HFONT Get(const platform::FontSpec& font);
  // The width and height of one line of text in pixels, the height that of the faces it is
  // drawn in (see ShapedLine); an empty text has width 0 and the font's line height.
  platform::TextExtent Measure(const platform::FontSpec& font, std::string_view text);
  int DpiY() const { return dpiY_; }
  // Where GdiTextImage draws a line between whole pixels: kept from one image to the next, as
  // touching a new bitmap's pages costs more than drawing in it.
  Surface& Band() { return band_; }
  // Get, for drawing in the band: the font's glyphs at the band's height are kept as well.
  HFONT GetForBand(const platform::FontSpec& font);

 private:
  // Each font stays selected in a 1x1 surface of its own while it is cached: the glyphs drawn
  // of a font in use are kept, while Wine soon drops those of fonts no DC holds, and a roll
  // draws many fonts a tick (with Default.vws this pin takes 40 % off the saver's CPU time).
  // Once drawn in the band, it stays selected in a second surface that stretches text as the
  // band does: its glyphs at that height are others, kept apart.
  struct CachedFont {
    UniqueFont font;
    Surface pin;
    SelectGuard pinned;  // after the font: leaves the pin before the font is deleted
    Surface tallPin;
    SelectGuard tallPinned;
  };

  CachedFont& Cached(const platform::FontSpec& font);

  int dpiY_;
  UniqueDc measureDc_;
  Surface band_;
  std::unordered_map<platform::FontSpec, std::unique_ptr<CachedFont>, platform::FontSpecHash>
      fonts_;
};

// A line of text drawn once into a 32-bit DIB over its background colour, kept as a bitmap
// alone (no DC of its own: a roll keeps dozens).
class GdiTextImage;
using GdiPhaseImages = std::array<std::unique_ptr<GdiTextImage>, platform::kSubpixelSteps>;

class GdiTextImage final : public platform::TextImage {
 public:
  // Null when the bitmap cannot be made. At a phase above 0 the image is one row taller than
  // the line.
  static std::unique_ptr<GdiTextImage> Draw(FontCache& fonts, const platform::FontSpec& font,
                                            std::string_view text, platform::TextImageSpan span,
                                            Color color, Color background);
  // The images at each phase of phases (span.Phase aside); those between pixels drawn together.
  static GdiPhaseImages DrawPhases(FontCache& fonts, const platform::FontSpec& font,
                                   std::string_view text, platform::TextImageSpan span,
                                   platform::PhaseSet phases, Color color, Color background);
  int Width() const { return width_; }
  int Height() const { return height_; }
  std::size_t Bytes() const override {
    return static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 4;
  }
  const std::uint32_t* Row(int y) const {
    return bits_ + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
  }
  // The background's pixel value: where the text left it, what lies beneath shows.
  std::uint32_t Background() const { return background_; }

 private:
  static std::unique_ptr<GdiTextImage> DrawStill(FontCache& fonts, const platform::FontSpec& font,
                                                 std::string_view text,
                                                 platform::TextImageSpan span, Color color,
                                                 Color background);
  // Draws the phases above 0 of phases into images, in the fonts' band.
  static void DrawLowered(FontCache& fonts, const platform::FontSpec& font, std::string_view text,
                          platform::TextImageSpan span, platform::PhaseSet phases, Color color,
                          Color background, GdiPhaseImages& images);
  // Its pixels: height rows from bits on, in a bitmap it may share with the line's other phases.
  GdiTextImage(std::shared_ptr<const UniqueBitmap> bitmap, const std::uint32_t* bits, int width,
               int height, std::uint32_t background)
      : bitmap_(std::move(bitmap)),
        bits_(bits),
        width_(width),
        height_(height),
        background_(background) {}

  std::shared_ptr<const UniqueBitmap> bitmap_;
  const std::uint32_t* bits_;
  int width_;
  int height_;
  std::uint32_t background_;
};

// Draws on a surface's DC, whose viewport and clipping PaintThrough has set up for `area`
// (target pixels): text images are copied into its pixels directly.
class GdiCanvas final : public platform::Canvas {
 public:
  GdiCanvas(Surface& surface, const platform::PixelRect& area) : surface_(surface), area_(area) {}
  void FillRect(const platform::PixelRect& rect, Color color) override;
  void DrawImage(const platform::TextImage& image, int x, int y) override;

 private:
  Surface& surface_;
  platform::PixelRect area_;
};

using PaintRoutine = std::function<void(platform::Canvas&, const platform::PixelRect&)>;

// Paints `area` (target pixels) into the buffer with paint, clipped to the area, then copies
// just that area to target at the same place. The buffer only needs the area's size.
void PaintThrough(Surface& buffer, HDC target, const platform::PixelRect& area,
                  const PaintRoutine& paint);

}  // namespace velloway::win32
