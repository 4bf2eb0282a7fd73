#pragma once
// Positions and sizes in twips (1440 per inch), and the primary screen that turns them into
// pixels by its DPI.
#include <vector>

#include "platform/screens.h"

namespace velloway::forms {

using Twips = float;

inline constexpr float kTwipsPerInch = 1440.0f;

// Twips as whole pixels, rounded to the nearest, as every form and control is placed.
int ToPixels(Twips twips, float twipsPerPixel);

// The primary monitor as the windows see it, read afresh on each call of Form::Screen().
class Screen {
 public:
  explicit Screen(const platform::ScreenMetrics& metrics) : metrics_(metrics) {}
  Twips Width() const { return static_cast<Twips>(metrics_.WidthPx) * TwipsPerPixelX(); }
  Twips Height() const { return static_cast<Twips>(metrics_.HeightPx) * TwipsPerPixelY(); }
  float TwipsPerPixelX() const { return kTwipsPerInch / static_cast<float>(metrics_.DpiX); }
  float TwipsPerPixelY() const { return kTwipsPerInch / static_cast<float>(metrics_.DpiY); }
  const std::vector<platform::MonitorArea>& OtherMonitors() const { return metrics_.OtherMonitors; }
  int RefreshHz() const { return metrics_.RefreshHz; }

 private:
  platform::ScreenMetrics metrics_;
};

}  // namespace velloway::forms
