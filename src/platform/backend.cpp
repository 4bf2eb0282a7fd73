#include "platform/backend.h"

#include <algorithm>
#include <bit>
#include <functional>

namespace velloway::forms {

std::size_t FontSpecHash::operator()(const FontSpec& font) const {
  std::size_t hash = std::hash<std::string>{}(font.Name);
  const auto mix = [&hash](std::size_t value) {
    hash ^= value + 0x9E3779B97F4A7C15ull + (hash << 6) + (hash >> 2);
  };
  mix(std::bit_cast<std::uint32_t>(font.Size));
  mix(static_cast<std::size_t>(font.Bold) | (static_cast<std::size_t>(font.Italic) << 1));
  mix(static_cast<std::size_t>(font.Charset));
  return hash;
}

PixelRect PixelRect::Intersect(const PixelRect& other) const {
  return {std::max(Left, other.Left), std::max(Top, other.Top), std::min(Right, other.Right),
          std::min(Bottom, other.Bottom)};
}

PixelRect PixelRect::Union(const PixelRect& other) const {
  if (IsEmpty()) return other;
  if (other.IsEmpty()) return *this;
  return {std::min(Left, other.Left), std::min(Top, other.Top), std::max(Right, other.Right),
          std::max(Bottom, other.Bottom)};
}

}  // namespace velloway::forms
