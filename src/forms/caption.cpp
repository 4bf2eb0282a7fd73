#include "forms/caption.h"

#include "base/utf8.h"

namespace velloway::forms {

std::string_view KeptCaption(std::string_view caption) {
  constexpr std::size_t kMaxCaptionBytes = 65'536;
  if (caption.size() <= kMaxCaptionBytes) return caption;
  return caption.substr(0, utf8::CharStart(caption, kMaxCaptionBytes));
}

CaptionBox MeasureCaption(platform::Typesetter& typesetter, platform::Screens& screens,
                          const platform::FontSpec& font, std::string_view caption) {
  const platform::TextExtent text = typesetter.MeasureText(font, caption);
  const Screen screen(screens.Screen());
  return {text, static_cast<Twips>(text.Width) * screen.TwipsPerPixelX(),
          static_cast<Twips>(text.Height) * screen.TwipsPerPixelY()};
}

}  // namespace velloway::forms
