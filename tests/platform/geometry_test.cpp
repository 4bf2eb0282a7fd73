// Areas of a window: merged for painting, each pixel once and no box around lines of different
// widths, and what of one lies outside another (a buffer copies
// what is stale in it but for what it paints).
#include <gtest/gtest.h>

#include <algorithm>
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

TEST(Geometry, MergedAreasHoldEveryPixelOnceAndNoMoreThanTheBoxesApartWould) {
  const struct {
    const char* what;
    std::vector<PixelRect> areas;
    std::size_t merged;  // areas left
    int pixels;          // in all of them
  } cases[] = {
      {"a line moved up, where it was and is", {{2, 6, 10, 9}, {2, 4, 10, 7}}, 1, 40},
      {"lines as wide, one on the other", {{2, 2, 10, 4}, {2, 4, 10, 6}}, 1, 32},
      {"a short line on a long one", {{6, 2, 8, 4}, {0, 4, 16, 6}}, 2, 36},
      {"a short line into a long one", {{6, 2, 8, 5}, {0, 4, 16, 6}}, 4, 36},
      {"one inside another", {{0, 0, 10, 10}, {2, 2, 4, 4}}, 1, 100},
      {"apart", {{0, 0, 2, 2}, {5, 5, 7, 7}}, 2, 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::vector<int>> grid(20, std::vector<int>(20, 0));
    const std::vector<PixelRect> merged = MergeAreas(c.areas);
    ASSERT_TRUE(Pixels(merged, grid)) << "merged areas overlap";
    int pixels = 0;
    for (int y = 0; y < 20; ++y) {
      for (int x = 0; x < 20; ++x) {
        const bool wanted = std::any_of(c.areas.begin(), c.areas.end(),
                                        [&](const PixelRect& area) { return area.Contains(x, y); });
        const int count = grid[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)];
        if (wanted) {
          EXPECT_EQ(count, 1) << "(" << x << ", " << y << ")";
        }
        pixels += count;
      }
    }
    EXPECT_EQ(merged.size(), c.merged);
    EXPECT_EQ(pixels, c.pixels);
  }
}

}  // namespace
}  // namespace velloway::platform
