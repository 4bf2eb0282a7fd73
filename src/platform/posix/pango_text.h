#pragma once
// Text through Pango: each line laid out once for its measure and once for its image, shaped by
// HarfBuzz, ordered by the Unicode bidirectional algorithm (its direction from its first strong
// character), every run of characters in the first face fontconfig ranks for the line's font that
// shows them. Font names keep the meaning scripts give them (fontconfig's substitutes, Windows'
// Japanese faces). Needs no display: the image is made in client memory.
#include "platform/text.h"

#include <cairo.h>
#include <pango/pango.h>

#include <memory>
#include <string_view>

namespace velloway::posix {

struct CairoSurfaceDeleter {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
// A line's image, rows a stride apart: coverage (CAIRO_FORMAT_A8, one byte a pixel) to be painted
// in the line's colour; or, where a colour font (an emoji's) shows some of its glyphs, the line in
// its colours, premultiplied by its coverage (CAIRO_FORMAT_ARGB32).
using LineImage = std::unique_ptr<cairo_surface_t, CairoSurfaceDeleter>;

struct GObjectDeleter {
  void operator()(void* object) const { g_object_unref(object); }
};

class PangoText {
 public:
  explicit PangoText(int dpiY);

  // The width and height of one line of text in pixels; an empty text has width 0 and the
  // font's line height.
  forms::TextExtent Measure(const forms::FontSpec& font, std::string_view text);
  // The columns of one line that span holds, as high as the line: coverage, or the line in
  // colour (its text in color) when a colour font shows some of it. Only the glyphs whose ink may
  // reach into the span are drawn: a line costs no more than its span, whatever its length. At a
  // phase above 0 the text is drawn that many sixteenths of a pixel lower, in a row more. Null
  // when the span is empty or the image cannot be made.
  LineImage Draw(const forms::FontSpec& font, std::string_view text, forms::TextImageSpan span,
                 Color color);

 private:
  std::unique_ptr<PangoLayout, GObjectDeleter> Layout(const forms::FontSpec& font,
                                                      std::string_view text);

  int dpiY_;
  std::unique_ptr<PangoFontMap, GObjectDeleter> fontMap_;
  std::unique_ptr<PangoContext, GObjectDeleter> context_;
};

}  // namespace velloway::posix
