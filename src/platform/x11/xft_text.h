#pragma once
// Text through Xft and fontconfig: fonts by FontSpec, with the family names scripts write (a
// missing face gets fontconfig's substitute, as Windows and Wine give theirs), and every
// character a face lacks drawn in the first face fontconfig ranks after it that has it, as
// Windows links fonts: Japanese text shows whatever face a line names.
// Before Xlib, whose macros (None, Bool) would rename the seam's names.
#include "platform/text.h"

#include <X11/Xft/Xft.h>

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace velloway::x11 {

class XftFonts {
 public:
  XftFonts(Display* display, int screen, int dpiY);
  ~XftFonts();
  XftFonts(const XftFonts&) = delete;
  XftFonts& operator=(const XftFonts&) = delete;

  // The width and height of one line of text in pixels; an empty text has width 0 and the
  // font's line height.
  forms::TextExtent Measure(const forms::FontSpec& font, std::string_view text);
  // Draws the columns of one line that span holds, every face on one baseline, with the span's
  // first column at x and the line's top at y. Only the characters whose ink reaches into the
  // span are drawn: a line costs the X server no more than its span, whatever its length.
  void Draw(XftDraw* draw, const XftColor& color, const forms::FontSpec& font,
            std::string_view text, forms::TextImageSpan span, int x, int y);

 private:
  class FaceSet;
  struct LineBox {
    int Width;
    int Ascent;
    int Descent;
  };
  FaceSet& Get(const forms::FontSpec& font);
  LineBox Box(FaceSet& faces, std::u32string_view text);

  Display* display_;
  int screen_;
  int dpiY_;
  std::unordered_map<forms::FontSpec, std::unique_ptr<FaceSet>, forms::FontSpecHash> faces_;
};

}  // namespace velloway::x11
