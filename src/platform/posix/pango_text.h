#pragma once
// Text through Pango: each line laid out once for its measure and once for its image, shaped by
// HarfBuzz, ordered by the Unicode bidirectional algorithm (its direction from its first strong
// character), every run of characters in the first face fontconfig ranks for the line's font that
// shows them. Font names keep the meaning scripts give them (fontconfig's substitutes, Windows'
// Japanese faces). Needs no display: the image is made in client memory.
#include "platform/posix/cairo_owners.h"
#include "platform/posix/tall_glyphs.h"
#include "platform/text.h"

#include <cairo.h>
#include <pango/pango.h>

#include <array>
#include <cstddef>
#include <memory>
#include <string_view>
#include <utility>

namespace velloway::posix {

using PhaseLineImages = std::array<LineImage, platform::kSubpixelSteps>;

// Each image drawn, made a backend's own by wrap(LineImage).
template <typename Wrap>
platform::PhaseImages EachWrapped(PhaseLineImages drawn, Wrap wrap) {
  platform::PhaseImages images;
  for (std::size_t phase = 0; phase < drawn.size(); ++phase) {
    if (drawn[phase]) images[phase] = wrap(std::move(drawn[phase]));
  }
  return images;
}

class PangoText {
 public:
  explicit PangoText(int dpiY);

  // The width and height of one line of text in pixels; an empty text has width 0 and the
  // font's line height.
  platform::TextExtent Measure(const platform::FontSpec& font, std::string_view text);
  // The columns of one line that span holds, as high as the line, at each phase of phases
  // (span.Phase aside): coverage, or the line in colour (its text in color) when a colour font
  // shows some of it. Only the glyphs whose ink may reach into the span are drawn: a line costs no
  // more than its span, whatever its length. At a phase above 0 the text is drawn that many
  // sixteenths of a pixel lower, in a row more; the line is laid out once for all phases, and
  // between pixels coverage is drawn once sixteen times as tall and each phase made from that.
  // Null where the span is empty or an image cannot be made.
  PhaseLineImages Draw(const platform::FontSpec& font, std::string_view text,
                       platform::TextImageSpan span, platform::PhaseSet phases, Color color);

 private:
  std::unique_ptr<PangoLayout, GObjectDeleter> Layout(const platform::FontSpec& font,
                                                      std::string_view text);

  int dpiY_;
  std::unique_ptr<PangoFontMap, GObjectDeleter> fontMap_;
  std::unique_ptr<PangoContext, GObjectDeleter> context_;
  TallGlyphs tallGlyphs_;
};

}  // namespace velloway::posix
