#include "roll/mirror_window.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "roll/line_layout.h"

namespace velloway {

MirrorWindow::MirrorWindow(platform::Backend& backend, forms::FormDesign design, RollEngine& roll,
                           std::function<void()> dismiss)
    : forms::Form(backend, std::move(design)),
      dismiss_(std::move(dismiss)),
      listening_(roll, *this) {
  for (int slot = 1; slot <= RollEngine::kLineSlots; ++slot) {
    lineLabels_.push_back(std::make_unique<forms::Label>(*this, RollLineDesign()));
  }
}

MirrorWindow::~MirrorWindow() = default;

void MirrorWindow::Fit(const platform::MonitorArea& monitor) {
  monitor_ = monitor;
  const platform::PixelRect& bounds = monitor.Bounds;
  Move(ToolkitTwipsX(bounds.Left), ToolkitTwipsY(bounds.Top), ToolkitTwipsX(bounds.Width()),
       ToolkitTwipsY(bounds.Height()));
}

void MirrorWindow::OnLinePlaced(const PlacedLine& placed) {
  forms::Label& label = *lineLabels_.at(static_cast<std::size_t>(placed.Slot - 1));
  // A slot taken again while its line is still shown here is taken over by the new line.
  std::erase_if(shownLines_, [&](const ShownLine& shown) { return shown.Label == &label; });
  // Points are measured at the primary screen's DPI: scaled, they come out the same size here.
  const float scale =
      Screen().TwipsPerPixelY() * static_cast<float>(monitor_.DpiY) / forms::kTwipsPerInch;
  label.SetFontName(placed.Font.Name);
  label.SetFontSize(placed.Font.Size * scale);
  label.SetCaption(std::string(placed.Text));
  label.SetForeColor(placed.ForeColor);
  const platform::PixelRect standing = label.PixelBounds();
  const LinePlace place = PlaceLineOnMonitor(
      {monitor_.Bounds.Width(), monitor_.Bounds.Height(), monitor_.DpiX, monitor_.DpiY},
      standing.Width(), placed.Alignment, standing.Left);
  label.SetLeft(ToolkitTwipsX(place.Left));
  shownLines_.push_back({&label, static_cast<double>(place.Top)});
  ShowLines();
}

void MirrorWindow::OnLinesMoved(const RollStep& step) {
  const double stepPixels =
      static_cast<double>(step.Twips) * monitor_.DpiY / static_cast<double>(forms::kTwipsPerInch);
  for (ShownLine& line : shownLines_) line.Top -= stepPixels;
  std::erase_if(shownLines_, [](const ShownLine& line) {
    const bool gone = line.Top <= -line.Label->PixelBounds().Height();
    if (gone) line.Label->SetVisible(false);
    return gone;
  });
  ShowLines();
}

void MirrorWindow::OnScreenCleared() {
  shownLines_.clear();
  for (const std::unique_ptr<forms::Label>& label : lineLabels_) label->SetVisible(false);
}

void MirrorWindow::ShowTrailing(double trailPx) {
  const double primaryDpiY = forms::kTwipsPerInch / static_cast<double>(Screen().TwipsPerPixelY());
  trail_ = trailPx * monitor_.DpiY / primaryDpiY;
  ShowLines();
}

void MirrorWindow::ShowLines() {
  for (const ShownLine& line : shownLines_) {
    // At rest on whole pixels, as the primary screen's lines.
    line.Label->ShowTopAt(std::round(line.Top) + trail_);
    line.Label->SetVisible(true);
  }
}

forms::Twips MirrorWindow::ToolkitTwipsX(int pixels) const {
  return static_cast<forms::Twips>(pixels) * Screen().TwipsPerPixelX();
}

forms::Twips MirrorWindow::ToolkitTwipsY(int pixels) const {
  return static_cast<forms::Twips>(pixels) * Screen().TwipsPerPixelY();
}

}  // namespace velloway
