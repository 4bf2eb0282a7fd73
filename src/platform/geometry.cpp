#include "platform/geometry.h"

#include <algorithm>
#include <cstddef>

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

std::vector<PixelRect> MergeAreas(std::vector<PixelRect> areas) {
  const auto touch = [](const PixelRect& a, const PixelRect& b) {
    return a.Left <= b.Right && b.Left <= a.Right && a.Top <= b.Bottom && b.Top <= a.Bottom;
  };
  for (bool merged = true; merged;) {
    merged = false;
    for (std::size_t i = 0; i < areas.size() && !merged; ++i) {
      for (std::size_t j = i + 1; j < areas.size(); ++j) {
        if (touch(areas[i], areas[j])) {
          areas[i] = areas[i].Union(areas[j]);
          areas.erase(areas.begin() + static_cast<std::ptrdiff_t>(j));
          merged = true;
          break;
        }
      }
    }
  }
  return areas;
}

std::vector<PixelRect> Outside(const PixelRect& area, const PixelRect& hole) {
  const PixelRect common = area.Intersect(hole);
  if (common.IsEmpty()) return {area};
  std::vector<PixelRect> parts = {
      {area.Left, area.Top, area.Right, common.Top},
      {area.Left, common.Bottom, area.Right, area.Bottom},
      {area.Left, common.Top, common.Left, common.Bottom},
      {common.Right, common.Top, area.Right, common.Bottom},
  };
  std::erase_if(parts, [](const PixelRect& part) { return part.IsEmpty(); });
  return parts;
}

}  // namespace velloway::platform
