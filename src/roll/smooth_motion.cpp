#include "roll/smooth_motion.h"

#include <algorithm>

namespace velloway {

SmoothMotion::SmoothMotion(forms::Form& form, int slots, const forms::LabelDesign& design) {
  for (int i = 0; i < slots; ++i) {
    retired_.push_back({std::make_unique<forms::Label>(form, design), 0, false});
  }
}

void SmoothMotion::ShowRetired(double shownScroll) {
  for (RetiredLine& retired : retired_) {
    if (!retired.InUse) continue;
    const double top = retired.Base - shownScroll;
    if (top + retired.Copy->PixelBounds().Height() <= 0) {
      retired.Copy->SetVisible(false);
      retired.InUse = false;
    } else {
      retired.Copy->ShowTopAt(top);
    }
  }
}

void SmoothMotion::Retire(const forms::Label& line, double base) {
  if (!line.Visible() || line.PixelBounds().Bottom <= 0) return;
  RetiredLine& retired = FreeCopy();
  retired.Copy->ShowCopyOf(line);
  retired.Base = base;
  retired.InUse = true;
}

void SmoothMotion::Clear() {
  for (RetiredLine& retired : retired_) {
    retired.Copy->SetVisible(false);
    retired.InUse = false;
  }
}

bool SmoothMotion::ShowsRetired() const {
  return std::any_of(retired_.begin(), retired_.end(),
                     [](const RetiredLine& retired) { return retired.InUse; });
}

// A copy not in use; when every one is, the one highest on the screen, the next to go.
SmoothMotion::RetiredLine& SmoothMotion::FreeCopy() {
  const auto free = std::find_if(retired_.begin(), retired_.end(),
                                 [](const RetiredLine& retired) { return !retired.InUse; });
  if (free != retired_.end()) return *free;
  return *std::min_element(
      retired_.begin(), retired_.end(),
      [](const RetiredLine& a, const RetiredLine& b) { return a.Base < b.Base; });
}

}  // namespace velloway
