#pragma once
#include <functional>
#include <memory>
#include <vector>

#include "forms/form.h"
#include "forms/label.h"
#include "roll/roll_engine.h"

namespace velloway {

// A window over a monitor beside the primary one that shows the roll as the saver window does:
// the same lines at the same ticks, laid out for the monitor's own size and DPI, a line's point
// size the same physical size as on the primary screen. It listens to the saver window's roll
// engine for each line placed, each scroll step and each clearing; it has no timer, script or
// music of its own, so one timeline drives every monitor. A click on its background, a key or a
// minimise ends the saver like the saver window's own.
class MirrorWindow : public forms::Form, private RollListener {
 public:
  // Shows the roll of `roll`, which must outlive it.
  MirrorWindow(platform::Backend& backend, forms::FormDesign design, RollEngine& roll,
               std::function<void()> dismiss);
  ~MirrorWindow() override;

  // Covers the monitor. Lines shown keep their place; the next ones are laid out for it.
  void Fit(const platform::MonitorArea& monitor);
  // Smooth motion: lines are shown trailPx pixels of the primary screen (the same physical
  // distance here) below their places, as the saver window shows its own.
  void ShowTrailing(double trailPx);

  // The label of a line slot, 1..RollEngine::kLineSlots.
  const forms::Label& LineLabel(int slot) const {
    return *lineLabels_.at(static_cast<std::size_t>(slot - 1));
  }
  const platform::MonitorArea& Monitor() const { return monitor_; }

 protected:
  void OnClick() override { dismiss_(); }
  void OnKeyDown() override { dismiss_(); }
  void OnMinimized() override { dismiss_(); }

 private:
  struct ShownLine {
    forms::Label* Label;
    double Top;  // in this monitor's pixels
  };

  // A line of the roll took its slot: the same text, font and colour rise from this monitor's
  // bottom edge, aligned as on the primary screen.
  void OnLinePlaced(const PlacedLine& placed) override;
  // Every line rises the roll's step in twips, the same physical distance; a line whose bottom
  // edge would reach this monitor's top edge goes.
  void OnLinesMoved(const RollStep& step) override;
  void OnScreenCleared() override;
  // Puts every line shown where it is, at whole pixels: the one place lines are drawn from.
  void ShowLines();
  // The toolkit's twips count the primary screen's pixels: a place on this monitor, in its pixels,
  // as twips of the toolkit.
  forms::Twips ToolkitTwipsX(int pixels) const;
  forms::Twips ToolkitTwipsY(int pixels) const;

  platform::MonitorArea monitor_;
  std::vector<std::unique_ptr<forms::Label>> lineLabels_;
  std::vector<ShownLine> shownLines_;  // in the order they came
  double trail_ = 0;                   // in this monitor's pixels
  std::function<void()> dismiss_;
  const RollEngine::Listening listening_;
};

}  // namespace velloway
