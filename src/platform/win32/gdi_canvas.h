#pragma once
// GDI drawing for the forms toolkit: fonts by FontSpec, a canvas on any DC, and the back buffer
// that windows paint through so that only the changed rectangles reach the screen.
#include <windows.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>
#include <unordered_map>

#include "platform/backend.h"
#include "platform/win32/win32_handles.h"

namespace velloway::win32 {

// A colour value (red + 256 * green + 65536 * blue) as GDI takes it; a system colour
// (0x800000nn) becomes that colour's current value.
COLORREF ToColorRef(Color color);

struct FontSpecHash {
  std::size_t operator()(const forms::FontSpec& font) const;
};

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

 private:
  UniqueDc dc_;
  UniqueBitmap bitmap_;
  SelectGuard selection_;  // declared after the bitmap: deselects it before it is deleted
  const std::uint32_t* bits_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

// The fonts made so far, one HFONT per FontSpec, sized for a given vertical DPI.
class FontCache {
 public:
  explicit FontCache(int dpiY);
  FontCache(const FontCache&) = delete;
  FontCache& operator=(const FontCache&) = delete;

  // The HFONT for this font; a face that cannot be made falls back to the default GUI font.
  HFONT Get(const forms::FontSpec& font);
  // The width and height of one line of text in pixels; an empty text has width 0 and the
  // font's line height.
  forms::TextExtent Measure(const forms::FontSpec& font, std::string_view text);
  int DpiY() const { return dpiY_; }

 private:
  int dpiY_;
  UniqueDc measureDc_;
  // Each font stays selected in a 1x1 surface of its own while it is cached: the glyphs drawn
  // of a font in use are kept, while Wine soon drops those of fonts no DC holds, and a roll
  // draws many fonts a tick (with Default.vws this pin takes 40 % off the saver's CPU time).
  struct CachedFont {
    UniqueFont font;
    Surface pin;
    SelectGuard pinned;  // declared last: leaves the pin before the font is deleted
  };
  std::unordered_map<forms::FontSpec, std::unique_ptr<CachedFont>, FontSpecHash> fonts_;
};

// Draws on a DC whose clipping the owner has set up.
class GdiCanvas final : public forms::Canvas {
 public:
  GdiCanvas(HDC dc, FontCache& fonts) : dc_(dc), fonts_(fonts) {}
  void FillRect(const forms::PixelRect& rect, Color color) override;
  void DrawText(const forms::FontSpec& font, std::string_view text, int x, int y,
                Color color) override;

 private:
  HDC dc_;
  FontCache& fonts_;
};

using PaintRoutine = std::function<void(forms::Canvas&, const forms::PixelRect&)>;

// Paints `area` (target pixels) into the buffer with paint, clipped to the area, then copies
// just that area to target at the same place. The buffer only needs the area's size.
void PaintThrough(Surface& buffer, FontCache& fonts, HDC target, const forms::PixelRect& area,
                  const PaintRoutine& paint);

}  // namespace velloway::win32
