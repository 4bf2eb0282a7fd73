#pragma once
// Text as the backends set it: fonts, the size of a line, and lines drawn once into images.
#include <array>
#include <bitset>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "base/color.h"

namespace velloway::platform {

// What a font's text needs of it beyond its face: Japanese text wants a face with Japanese
// glyphs; Western text the face's Western character set; Any leaves the face to choose.
enum class FontLanguage { Any, Western, Japanese };

struct FontSpec {
  std::string Name;
  float Size = 0;  // points
  bool Bold = false;
  bool Italic = false;
  FontLanguage Language = FontLanguage::Any;
  bool operator==(const FontSpec&) const = default;
};

// For the backends' font caches.
struct FontSpecHash {
  std::size_t operator()(const FontSpec& font) const;
};

// A rendered single line of text, in pixels.
struct TextExtent {
  int Width = 0;
  int Height = 0;
};

// One line of text drawn once, in its font and colour over a background colour, kept to be
// painted again wherever it is shown: moving a line costs no text layout.
class TextImage {
 public:
  virtual ~TextImage() = default;
  // The memory its pixels take.
  virtual std::size_t Bytes() const = 0;
};

// A line in motion is drawn between whole pixels, at steps of a sixteenth of a pixel.
inline constexpr int kSubpixelSteps = 16;

// Which part of a line's text a TextImage holds: the text's pixel columns from Skip on, Width
// of them (a line may be far wider than the screen), and all of its height. At a Phase above 0
// (1 to kSubpixelSteps - 1) the text is drawn Phase sixteenths of a pixel lower, by the text
// renderer itself, into an image one row taller than the line; at Phase 0 it is the line as it
// stands still.
struct TextImageSpan {
  int Skip = 0;
  int Width = 0;
  int Phase = 0;
  bool operator==(const TextImageSpan&) const = default;
};

// A line drawn kSubpixelSteps times as tall, kSubpixelSteps - 1 empty tall rows above it, holds
// all its phases between pixels: the mean of the kSubpixelSteps tall rows from tall row `first` on
// is row Row of phase Phase (at phase 0, the line at rest, a row is not a mean of these). So a
// sum of kSubpixelSteps rows sliding down the tall line a row at a time makes every phase.
struct PhaseRow {
  int Phase;
  int Row;
};
constexpr PhaseRow PhaseRowFrom(int first) {
  return {kSubpixelSteps - 1 - first % kSubpixelSteps, first / kSubpixelSteps};
}

// Which phases of a line to draw (bit Phase), and the images drawn, at index Phase.
using PhaseSet = std::bitset<kSubpixelSteps>;
using PhaseImages = std::array<std::unique_ptr<TextImage>, kSubpixelSteps>;

// Measures lines of text and draws them into images.
class Typesetter {
 public:
  virtual ~Typesetter() = default;
  virtual TextExtent MeasureText(const FontSpec& font, std::string_view text) = 0;
  // Draws the span of one line of text in color over background, once, at each phase of `phases`
  // (span.Phase aside); Canvas::DrawImage paints them. A moving line's phases are drawn together:
  // a backend may share the work of setting the line among them. The images of the other phases,
  // and any that cannot be made, are null.
  virtual PhaseImages CreateTextImages(const FontSpec& font, std::string_view text,
                                       TextImageSpan span, PhaseSet phases, Color color,
                                       Color background) = 0;
};

}  // namespace velloway::platform
