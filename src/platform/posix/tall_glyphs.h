#pragma once
// Glyphs drawn sixteen times as tall, each once: the stuff a line between whole pixels is made of.
#include <pango/pangocairo.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>

#include "platform/posix/cairo_owners.h"
#include "platform/text.h"

namespace velloway::posix {

// Each glyph's coverage kSubpixelSteps times as tall as it is, filled from its outline as its face
// hints it at its own size: laid side by side, they make a line that each phase between whole
// pixels is the mean of (a row of sixteen tall rows), shaped exactly as the line at rest. Cairo
// puts glyphs on whole pixels across; these stand where it puts them.
class TallGlyphs {
 public:
  // Adds glyphs in font into tall (coverage, kSubpixelSteps rows a pixel), the first one's origin
  // at x pixels across and on the baseline, baseline pixels down.
  void Show(cairo_surface_t* tall, PangoFont* font, const PangoGlyphString& glyphs, double x,
            int baseline);

 private:
  struct Drawn {
    LineImage Mask;  // null: no ink
    int Left = 0;    // pixels from the origin
    int Top = 0;     // tall rows from the baseline
  };
  struct Key {
    PangoFont* Font;
    PangoGlyph Glyph;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    std::size_t operator()(const Key& key) const;
  };
  const Drawn& Glyph(PangoFont* font, PangoGlyph glyph);
  Drawn Draw(PangoFont* font, PangoGlyph glyph);

  std::unordered_map<Key, Drawn, KeyHash> glyphs_;
  // The fonts the glyphs came from, kept alive so that their addresses name no other font.
  std::unordered_map<PangoFont*, std::unique_ptr<PangoFont, GObjectDeleter>> fonts_;
  std::size_t bytes_ = 0;
  Drawn oversized_;  // the last glyph too large to keep
};

}  // namespace velloway::posix
