#include "platform/text.h"

#include <bit>
#include <cstdint>
#include <functional>
#include <utility>

namespace velloway::platform {

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

}  // namespace velloway::platform
