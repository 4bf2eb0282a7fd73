#include "roll/mirror_window.h"

#include <utility>

#include "roll/line_layout.h"

namespace velloway {

MirrorWindow::MirrorWindow(platform::Backend& backend, forms::FormDesign design, RollEngine& roll,
                           bool smoothMotion, std::function<void()> dismiss)
    : forms::Form(backend, std::move(design)),
      dismiss_(std::move(dismiss)),
      lines_(*this, roll, smoothMotion, *this) {}

MirrorWindow::~MirrorWindow() = default;

void MirrorWindow::Fit(const platform::MonitorArea& monitor) {
  monitor_ = monitor;
  const platform::PixelRect& bounds = monitor.Bounds;
  Move(ToolkitTwipsX(bounds.Left), ToolkitTwipsY(bounds.Top), ToolkitTwipsX(bounds.Width()),
       ToolkitTwipsY(bounds.Height()));
}

float MirrorWindow::FontPoints(float points) const {
  return points * static_cast<float>(ScrollScale());
}

LineLayout::Place MirrorWindow::Start(const forms::Label& label, const PlacedLine& placed) const {
  const platform::PixelRect standing = label.PixelBounds();
  const LinePlace place = PlaceLineOnMonitor(
      {monitor_.Bounds.Width(), monitor_.Bounds.Height(), monitor_.DpiX, monitor_.DpiY},
      standing.Width(), placed.Alignment, standing.Left);
  return {ToolkitTwipsX(place.Left), ToolkitTwipsY(place.Top)};
}

forms::Twips MirrorWindow::StepTwips(const RollStep& step) const {
  return ToolkitTwipsY(static_cast<double>(step.Twips) * monitor_.DpiY / forms::kTwipsPerInch);
}

double MirrorWindow::ScrollScale() const {
  return Screen().TwipsPerPixelY() * static_cast<double>(monitor_.DpiY) / forms::kTwipsPerInch;
}

forms::Twips MirrorWindow::ToolkitTwipsX(double pixels) const {
  return static_cast<forms::Twips>(pixels * Screen().TwipsPerPixelX());
}

forms::Twips MirrorWindow::ToolkitTwipsY(double pixels) const {
  return static_cast<forms::Twips>(pixels * Screen().TwipsPerPixelY());
}

}  // namespace velloway
