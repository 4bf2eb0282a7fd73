// Areas of a window: merged for painting, and what of one lies outside another (a buffer copies
// what is stale in it but for what it paints).
#include <gtest/gtest.h>

#include <vector>

#include "platform/geometry.h"

namespace velloway::platform {
namespace {

// The pixels of rects, each once; false when two of them share a pixel.
bool Pixels(const std::vector<PixelRect>& rects, std::vector<std::vector<int>>& grid) {
  for (const PixelRect& rect : rects) {
    for (int y = rect.Top; y < rect.Bottom; ++y) {
      for (int x = rect.Left; x < rect.Right; ++x) {
        if (grid[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)]++ != 0) return false;
      }
    }
  }
  return true;
}

TEST(Geometry, WhatLiesOutsideAHoleIsTheRestOfTheAreaInPartsThatDoNotOverlap) {
  const PixelRect area{2, 3, 12, 10};
  const PixelRect holes[] = {
      {4, 5, 8, 7},      // inside
      {0, 0, 20, 20},    // over all of it
      {0, 0, 5, 5},      // over a corner
      {6, 0, 8, 20},     // across
      {20, 20, 30, 30},  // beside it
      {2, 3, 12, 4},     // its top row
      {5, 10, 9, 15},    // touching its bottom edge
  };
  for (const PixelRect& hole : holes) {
    std::vector<std::vector<int>> grid(20, std::vector<int>(20, 0));
    const std::vector<PixelRect> parts = Outside(area, hole);
    ASSERT_TRUE(Pixels(parts, grid)) << "parts overlap, hole " << hole.Left << "," << hole.Top;
    for (int y = 0; y < 20; ++y) {
      for (int x = 0; x < 20; ++x) {
        const bool wanted = area.Contains(x, y) && !hole.Contains(x, y);
        EXPECT_EQ(grid[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)], wanted ? 1 : 0)
            << "(" << x << ", " << y << "), hole " << hole.Left << "," << hole.Top << " "
            << hole.Right << "," << hole.Bottom;
      }
    }
  }
}

}  // namespace
}  // namespace velloway::platform
