#include "roll/line_layout.h"

#include "forms/screen.h"

namespace velloway {

LinePlace PlaceLineOnMonitor(const MonitorSize& monitor, int lineWidthPx, LineAlignment alignment,
                             int standingLeftPx) {
  const forms::Screen screen({monitor.WidthPx, monitor.HeightPx, monitor.DpiX, monitor.DpiY, {}});
  const float twipsPerPixel = screen.TwipsPerPixelX();
  const double W = screen.Width();
  // As a label sized to its text measures its width.
  const double w = static_cast<forms::Twips>(lineWidthPx) * twipsPerPixel;
  const forms::Twips top = screen.Height();
  double left = 0;
  switch (alignment) {
    case LineAlignment::Left:
      left = W / 4;
      break;
    case LineAlignment::Centre:
      left = (W - w) / 2;
      break;
    case LineAlignment::Right:
      left = W * 3 / 4 - w;
      break;
    case LineAlignment::Other:
      return {standingLeftPx, forms::ToPixels(top, screen.TwipsPerPixelY())};
  }
  return {forms::ToPixels(static_cast<forms::Twips>(left), twipsPerPixel),
          forms::ToPixels(top, screen.TwipsPerPixelY())};
}

}  // namespace velloway
