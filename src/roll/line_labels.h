#pragma once
// A roll's lines shown on a form as its engine places, moves, lets go and clears them: a label
// for each of the engine's slots. With smooth motion every line is shown at the shown scroll, and
// a line let go while in sight is shown on until it is out of sight (see SmoothMotion).
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "forms/label.h"
#include "roll/roll_engine.h"
#include "roll/smooth_motion.h"

namespace velloway {

class LineLabels {
 public:
  // The labels go on form, after those it has: they are painted over them.
  LineLabels(forms::Form& form, const RollEngine& engine, bool smoothMotion);
  ~LineLabels();
  LineLabels(const LineLabels&) = delete;
  LineLabels& operator=(const LineLabels&) = delete;

  // The label of a line slot, 1..RollEngine::kLineSlots.
  const forms::Label& Line(int slot) const { return *labels_[static_cast<std::size_t>(slot - 1)]; }

  // What the engine tells, shown.
  void Place(const PlacedLine& placed);
  void Move();
  void Retire(int slot);
  void Clear();

  bool SmoothMotion() const { return smooth_ != nullptr; }
  // Follows the roll from now on a display of refreshHz; false when there is nothing to follow:
  // without smooth motion, or for a roll that does not move (speed 0, a script without records).
  bool StartSmoothMotion(int refreshHz);
  // A display frame: the shown scroll follows the engine's, and the lines move with it.
  void Frame(const platform::DisplayFrame& frame);
  // After a tick: a line placed, moved or let go shows where the shown scroll puts it.
  void ShowAfterTick();
  // The shown scroll S; the engine's D without smooth motion.
  double ShownScroll() const;
  // Whether any line shown reaches into the form from below its top edge: a listed line, or one
  // let go that smooth motion still shows.
  bool AnyInSight() const;

 private:
  forms::Label& Line(int slot) { return *labels_[static_cast<std::size_t>(slot - 1)]; }
  // The labels of the lines the engine lists, in its order.
  std::span<forms::Label* const> ListedLabels();

  const RollEngine& engine_;
  std::vector<std::unique_ptr<forms::Label>> labels_;
  std::vector<forms::Label*> listed_;
  std::unique_ptr<velloway::SmoothMotion> smooth_;
};

}  // namespace velloway
