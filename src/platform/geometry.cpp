#include "platform/geometry.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

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

namespace {

std::int64_t AreaOf(const PixelRect& rect) {
  if (rect.IsEmpty()) return 0;
  return static_cast<std::int64_t>(rect.Width()) * rect.Height();
}

bool Touch(const PixelRect& a, const PixelRect& b) {
  return a.Left <= b.Right && b.Left <= a.Right && a.Top <= b.Bottom && b.Top <= a.Bottom;
}

}  // namespace

std::vector<PixelRect> MergeAreas(std::vector<PixelRect> areas) {
  // Each step leaves less area to paint, or as much in fewer areas: the loop ends.
  for (bool changed = true; changed;) {
    changed = false;
    for (std::size_t i = 0; i < areas.size() && !changed; ++i) {
      for (std::size_t j = i + 1; j < areas.size() && !changed; ++j) {
        const PixelRect a = areas[i];
        const PixelRect b = areas[j];
        if (!Touch(a, b)) continue;
        if (AreaOf(a.Union(b)) <= AreaOf(a) + AreaOf(b)) {
          areas[i] = a.Union(b);
          areas.erase(areas.begin() + static_cast<std::ptrdiff_t>(j));
          changed = true;
        } else if (!a.Intersect(b).IsEmpty()) {
          // Lines of different widths one above the other: the box around both would paint
          // more than the two, so what they share is painted once, with the first.
          areas.erase(areas.begin() + static_cast<std::ptrdiff_t>(j));
          for (const PixelRect& part : Outside(b, a)) areas.push_back(part);
          changed = true;
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
