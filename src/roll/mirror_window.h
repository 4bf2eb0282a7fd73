#pragma once
#include <functional>

#include "forms/form.h"
#include "forms/label.h"
#include "roll/line_labels.h"
#include "roll/roll_engine.h"

namespace velloway {

// A window over a monitor beside the primary one that shows the roll as the saver window does:
// the same lines at the same ticks, laid out for the monitor's own size and DPI, a line's point
// size the same physical size as on the primary screen. Its line labels listen to the saver
// window's roll engine; it has no timer, script or music of its own, so one timeline drives every
// monitor. A click on its background, a key or a minimise ends the saver like the saver window's
// own.
class MirrorWindow : public forms::Form, private LineLayout {
 public:
  // Shows the roll of `roll`, which must outlive it, with smooth motion when asked.
  MirrorWindow(platform::Backend& backend, forms::FormDesign design, RollEngine& roll,
               bool smoothMotion, std::function<void()> dismiss);
  ~MirrorWindow() override;

  // Covers the monitor. Lines shown keep their place; the next ones are laid out for it.
  void Fit(const platform::MonitorArea& monitor);
  // Smooth motion: the lines shown at the roll's shown scroll, in the primary screen's pixels (the
  // same physical distance here), as the saver window shows its own.
  void ShowScrolled(double shownScroll) { lines_.Show(shownScroll); }

  // The label of a line slot, 1..RollEngine::kLineSlots.
  const forms::Label& LineLabel(int slot) const { return lines_.Line(slot); }

 protected:
  void OnClick() override { dismiss_(); }
  void OnKeyDown() override { dismiss_(); }
  void OnMinimized() override { dismiss_(); }

 private:
  // Points are measured at the primary screen's DPI: scaled, they come out the same size here.
  float FontPoints(float points) const override;
  // A line rises from this monitor's bottom edge, aligned as on the primary screen.
  Place Start(const forms::Label& label, const PlacedLine& placed) const override;
  // The roll's step in twips is a physical distance: at the monitor's DPI, so many of its pixels.
  forms::Twips StepTwips(const RollStep& step) const override;
  double ScrollScale() const override;
  // The toolkit's twips count the primary screen's pixels: a place on this monitor, in its pixels,
  // as twips of the toolkit.
  forms::Twips ToolkitTwipsX(double pixels) const;
  forms::Twips ToolkitTwipsY(double pixels) const;

  platform::MonitorArea monitor_;
  std::function<void()> dismiss_;
  LineLabels lines_;
};

}  // namespace velloway
