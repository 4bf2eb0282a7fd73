#pragma once
// Smooth motion in the saver window. The engine's cumulative scroll D (5 pixels at each spacing
// step) goes to a ScrollFollower at every display frame; every line is shown D - S pixels below
// the place the engine gives it, S being the follower's shown scroll. A line the engine lets go
// while it is still in sight (its slot taken by a new line, or its bottom edge at the top edge)
// is shown on by a copy, rising with S, until it is out of sight.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "forms/label.h"
#include "platform/clock.h"
#include "roll/smooth_scroll.h"

namespace velloway {

class SmoothMotion {
 public:
  // Makes the labels that show the lines the engine let go, on form: as many as the engine has
  // line slots.
  SmoothMotion(forms::Form& form, int slots, const forms::LabelDesign& design);

  // A roll starts: its engine ticks every tickIntervalMs and has scrolled engineScroll so far,
  // on a display of refreshHz; a pixel is twipsPerPixelY high.
  void Start(std::int32_t tickIntervalMs, int refreshHz, float twipsPerPixelY,
             std::int64_t engineScroll);
  // A display frame: the shown scroll follows the engine's, and the lines move with it.
  // stepsNext: whether the engine's next tick moves the lines.
  void Frame(const platform::DisplayFrame& frame, std::int64_t engineScroll, bool stepsNext,
             std::span<forms::Label* const> lines);
  // Shows the engine's lines, and those it let go, at the present shown scroll.
  void ShowLines(std::int64_t engineScroll, std::span<forms::Label* const> lines);
  // The engine lets go of a line that may still be in sight.
  void Retire(const forms::Label& line, std::int64_t engineScroll);
  // The screen is cleared: the lines let go go too.
  void Clear();

  double ShownScroll() const { return shown_; }
  // Whether a line let go is still shown: in sight when the lines were last shown.
  bool ShowsRetired() const;

 private:
  struct RetiredLine {
    std::unique_ptr<forms::Label> Copy;
    // Where its top is shown is Base - S: its place when let go, plus D then.
    double Base = 0;
    bool InUse = false;
  };

  int EngineTop(const forms::Label& line) const;
  RetiredLine& FreeCopy();

  std::optional<ScrollFollower> follower_;
  float twipsPerPixelY_ = 15;
  double shown_ = 0;
  std::vector<RetiredLine> retired_;
};

}  // namespace velloway
