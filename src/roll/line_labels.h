#pragma once
// A roll's lines shown on a form: a label for each of the engine's slots, placed, moved and
// cleared as the engine tells. Each form lays the lines out for itself (LineLayout): the primary
// screen as the engine places them, another monitor for its own size and DPI. A form lets a line
// go when it leaves its own top edge, or when the roll gives its slot to a new line; with smooth
// motion every line is shown at the roll's shown scroll, and a line let go while in sight is
// shown on until it is out of sight (SmoothMotion). So every form shows the same roll.
#include <memory>
#include <vector>

#include "forms/label.h"
#include "roll/roll_engine.h"
#include "roll/smooth_motion.h"

namespace velloway {

// How a form lays out the roll's lines. As it stands, the primary screen's: each line where the
// engine places it, moved by the engine's steps.
class LineLayout {
 public:
  virtual ~LineLayout() = default;
  // A line's font size here, in points.
  virtual float FontPoints(float points) const { return points; }
  // Where a line shown by label (dressed in its font and text) starts, in twips of the toolkit.
  struct Place {
    forms::Twips Left = 0;
    forms::Twips Top = 0;
  };
  virtual Place Start(const forms::Label& /*label*/, const PlacedLine& placed) const {
    return {placed.Left, placed.Top};
  }
  // How far each step of the roll moves the lines here, in twips of the toolkit.
  virtual forms::Twips StepTwips(const RollStep& step) const { return step.Twips; }
  // This form's pixels to one pixel of the primary screen's, vertically: the roll's scroll is
  // counted in the primary's pixels.
  virtual double ScrollScale() const { return 1; }
};

class LineLabels : private RollListener {
 public:
  // The labels go on form, after those it has: they are painted over them. They show the lines
  // of engine, which must outlive them, as layout lays them out.
  LineLabels(forms::Form& form, RollEngine& engine, bool smoothMotion,
             const LineLayout& layout = kPrimaryLayout);
  ~LineLabels() override;
  LineLabels(const LineLabels&) = delete;
  LineLabels& operator=(const LineLabels&) = delete;

  // The label of a line slot, 1..RollEngine::kLineSlots.
  const forms::Label& Line(int slot) const { return *labels_[static_cast<std::size_t>(slot - 1)]; }

  // Smooth motion: every line shown where the roll's shown scroll (in the primary screen's
  // pixels) puts it, below its place by as much as the shown scroll trails the engine's.
  void Show(double shownScroll);
  // From now on the lines the roll places are not shown; those shown move on and go as before.
  void HoldNewLines() { holding_ = true; }
  // Whether any line shown reaches into the form from below its top edge: a listed line, or one
  // let go that smooth motion still shows.
  bool AnyInSight() const;

 private:
  // A line this form shows, at its top in twips of the toolkit.
  struct ShownLine {
    int Slot = 0;
    forms::Twips Top = 0;
  };
  static const LineLayout kPrimaryLayout;

  void OnLinePlaced(const PlacedLine& placed) override;
  void OnLinesMoved(const RollStep& step) override;
  void OnScreenCleared() override;
  forms::Label& Line(int slot) { return *labels_[static_cast<std::size_t>(slot - 1)]; }
  // The line goes; with smooth motion, one still in sight is shown on.
  void LetGo(const ShownLine& line);
  // The roll's cumulative scroll, and a line's place at rest, in this form's pixels.
  double EngineScroll() const;
  int RestingTop(forms::Twips top) const;

  const RollEngine& engine_;
  const LineLayout& layout_;
  std::vector<std::unique_ptr<forms::Label>> labels_;
  std::vector<ShownLine> shown_;  // in the order they came
  std::unique_ptr<velloway::SmoothMotion> smooth_;
  bool holding_ = false;
  const RollEngine::Listening listening_;
};

}  // namespace velloway
