#pragma once
// Places and areas in pixels, and the number that names a window of the system.
#include <cstdint>
#include <vector>

namespace velloway::platform {

// A window of the system, this program's or another's, as an opaque number: a preview host is
// named by it on the command line.
using WindowId = std::intptr_t;

// A position on the screen, in pixels of the virtual screen.
struct PixelPoint {
  std::int32_t X = 0;
  std::int32_t Y = 0;
  bool operator==(const PixelPoint&) const = default;
};

struct PixelSize {
  int Width = 0;
  int Height = 0;
  bool operator==(const PixelSize&) const = default;
};

struct PixelRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;

  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  bool Contains(int x, int y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
  PixelRect Intersect(const PixelRect& other) const;
  // The smallest rectangle holding both; an empty rectangle adds nothing.
  PixelRect Union(const PixelRect& other) const;
  bool operator==(const PixelRect&) const = default;
};

// Areas that overlap or touch become one, so that each part of a window is painted once.
std::vector<PixelRect> MergeAreas(std::vector<PixelRect> areas);
// The parts of area outside hole: none, area itself, or up to four bands around the hole.
std::vector<PixelRect> Outside(const PixelRect& area, const PixelRect& hole);

}  // namespace velloway::platform
