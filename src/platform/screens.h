#pragma once
// The monitors: their sizes, places, DPI and the primary one's refresh rate.
#include <vector>

#include "platform/geometry.h"

namespace velloway::platform {

// A monitor beside the primary one: where it lies and its own DPI.
struct MonitorArea {
  PixelRect Bounds;  // in virtual-screen pixels
  int DpiX = 96;
  int DpiY = 96;
  bool operator==(const MonitorArea&) const = default;
};

struct ScreenMetrics {
  int WidthPx = 1920;  // the primary monitor
  int HeightPx = 1080;
  int DpiX = 96;
  int DpiY = 96;
  std::vector<MonitorArea> OtherMonitors;
  int RefreshHz = 60;  // the primary monitor's frames per second; 60 where the system does not say
  bool operator==(const ScreenMetrics&) const = default;
};

class Screens {
 public:
  virtual ~Screens() = default;
  // The screens as they are now.
  virtual ScreenMetrics Screen() = 0;
};

}  // namespace velloway::platform
