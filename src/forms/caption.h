#pragma once
#include <string_view>

#include "forms/screen.h"
#include "platform/screens.h"
#include "platform/text.h"

namespace velloway::forms {

// The most of a caption a label keeps, cut at a character's start: no screen shows more of one
// line, and measuring and drawing all of a longer caption at every move would slow the roll.
std::string_view KeptCaption(std::string_view caption);

// A caption's box as an auto-sized label takes it: the rendered text in pixels, and that size in
// twips of the primary screen as it is now. The one measure of a line's box: labels and the roll
// engine both take it, so that the roll's spacing and what is shown agree to the twip.
struct CaptionBox {
  platform::TextExtent Text;
  Twips Width = 0;
  Twips Height = 0;
};
CaptionBox MeasureCaption(platform::Typesetter& typesetter, platform::Screens& screens,
                          const platform::FontSpec& font, std::string_view caption);

}  // namespace velloway::forms
