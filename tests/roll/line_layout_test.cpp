#include "roll/line_layout.h"

#include <gtest/gtest.h>

namespace velloway {
namespace {

TEST(LineLayout, PlacesLinesOnEveryMonitorAsOnThePrimaryScreen) {
  constexpr struct {
    MonitorSize monitor;
    int lineWidth;
    LinePlace left, mid, right;
  } kCases[] = {
      {{1920, 1080, 96, 96}, 300, {480, 1080}, {810, 1080}, {1140, 1080}},
      // Half pixels round away from zero, as a label's twips do.
      {{1920, 1080, 96, 96}, 301, {480, 1080}, {810, 1080}, {1139, 1080}},
      {{1366, 768, 120, 120}, 100, {342, 768}, {633, 768}, {925, 768}},
      {{2560, 1440, 144, 144}, 2561, {640, 1440}, {-1, 1440}, {-641, 1440}},
      {{3840, 2160, 192, 192}, 0, {960, 2160}, {1920, 2160}, {2880, 2160}},
      {{1280, 1024, 100, 100}, 333, {320, 1024}, {474, 1024}, {627, 1024}},
      // Each axis with its own DPI.
      {{1024, 768, 96, 192}, 200, {256, 768}, {412, 768}, {568, 768}},
  };
  for (const auto& c : kCases) {
    const MonitorSize& m = c.monitor;
    SCOPED_TRACE(std::to_string(m.WidthPx) + "x" + std::to_string(m.HeightPx) + " at " +
                 std::to_string(m.DpiX) + "x" + std::to_string(m.DpiY) + " DPI, line " +
                 std::to_string(c.lineWidth));
    EXPECT_EQ(PlaceLineOnMonitor(m, c.lineWidth, LineAlignment::Left, 7), c.left);
    EXPECT_EQ(PlaceLineOnMonitor(m, c.lineWidth, LineAlignment::Centre, 7), c.mid);
    EXPECT_EQ(PlaceLineOnMonitor(m, c.lineWidth, LineAlignment::Right, 7), c.right);
    // Any other mode leaves the line where its label stood.
    EXPECT_EQ(PlaceLineOnMonitor(m, c.lineWidth, LineAlignment::Other, 7),
              (LinePlace{7, c.left.Top}));
  }
}

}  // namespace
}  // namespace velloway
