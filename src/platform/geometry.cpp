#include "platform/geometry.h"

#include <algorithm>

namespace velloway::platform {

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

}  // namespace velloway::platform
