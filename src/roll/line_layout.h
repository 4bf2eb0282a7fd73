#pragma once
// Where a new line of the roll is placed on one monitor, so that every monitor can show the roll
// as the primary screen does.
#include "script/script_types.h"

namespace velloway {

// One monitor: its size in pixels and its DPI.
struct MonitorSize {
  int WidthPx = 0;
  int HeightPx = 0;
  int DpiX = 96;
  int DpiY = 96;
};

// A line's top-left corner, in pixels from the monitor's top-left corner.
struct LinePlace {
  int Left = 0;
  int Top = 0;
  bool operator==(const LinePlace&) const = default;
};

// Places a line lineWidthPx wide exactly as the saver places it on the primary screen, in twips
// with this monitor's own twips per pixel: LEFT starts at a quarter of the width, MID is centred,
// RIGHT ends at three quarters, any other mode keeps the left edge where the line's label stood
// (standingLeftPx); the top is the bottom edge, from where the line rises into view.
LinePlace PlaceLineOnMonitor(const MonitorSize& monitor, int lineWidthPx, LineAlignment alignment,
                             int standingLeftPx);

}  // namespace velloway
