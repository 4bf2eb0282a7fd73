#include "platform/text.h"

#include <bit>
#include <cstdint>
#include <functional>

namespace velloway::forms {

std::size_t FontSpecHash::operator()(const FontSpec& font) const {
  std::size_t hash = std::hash<std::string>{}(font.Name);
  const auto mix = [&hash](std::size_t value) {
    hash ^= value + 0x9E3779B97F4A7C15ull + (hash << 6) + (hash >> 2);
  };
  mix(std::bit_cast<std::uint32_t>(font.Size));
  mix(static_cast<std::size_t>(font.Bold) | (static_cast<std::size_t>(font.Italic) << 1));
  mix(static_cast<std::size_t>(font.Language));
  return hash;
}

PhaseImages Typesetter::CreateTextImages(const FontSpec& font, std::string_view text,
                                         TextImageSpan span, PhaseSet phases, Color color,
                                         Color background) {
  PhaseImages images;
  for (int phase = 0; phase < kSubpixelSteps; ++phase) {
    if (!phases.test(static_cast<std::size_t>(phase))) continue;
    span.Phase = phase;
    images[static_cast<std::size_t>(phase)] = CreateTextImage(font, text, span, color, background);
  }
  return images;
}

}  // namespace velloway::forms
