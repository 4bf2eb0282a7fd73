#pragma once
// Smooth motion's lines let go: a line the roll lets go while it is still in sight (its slot
// given to a new line, or its bottom edge at the top edge while the shown scroll trails the
// engine's) is shown on by a copy, rising with the shown scroll, until it is out of sight.
#include <memory>
#include <vector>

#include "forms/label.h"

namespace velloway {

class SmoothMotion {
 public:
  // Makes the labels of the copies on form: as many as the engine has line slots.
  SmoothMotion(forms::Form& form, int slots, const forms::LabelDesign& design);

  // The roll lets go of line; base is where its top would stand at a shown scroll of 0, in the
  // form's pixels: its place at rest plus the engine's scroll.
  void Retire(const forms::Label& line, double base);
  // Shows the copies at the shown scroll, in the form's pixels; those out of sight go.
  void ShowRetired(double shownScroll);
  // The screen is cleared: the copies go too.
  void Clear();
  // Whether a copy is still shown: in sight when the lines were last shown.
  bool ShowsRetired() const;

 private:
  struct RetiredLine {
    std::unique_ptr<forms::Label> Copy;
    double Base = 0;
    bool InUse = false;
  };

  RetiredLine& FreeCopy();

  std::vector<RetiredLine> retired_;
};

}  // namespace velloway
