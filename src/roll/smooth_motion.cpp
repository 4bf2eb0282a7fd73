#include "roll/smooth_motion.h"

#include <algorithm>

namespace velloway {

SmoothMotion::SmoothMotion(forms::Form& form, int slots, const forms::LabelDesign& design) {
  for (int i = 0; i < slots; ++i) {
    retired_.push_back({std::make_unique<forms::Label>(form, design), 0, false});
  }
}

void SmoothMotion::Start(std::int32_t tickIntervalMs, int refreshHz, float twipsPerPixelY,
                         std::int64_t engineScroll) {
  follower_.emplace(tickIntervalMs, refreshHz);
  follower_->Reset(engineScroll);
  twipsPerPixelY_ = twipsPerPixelY;
  shown_ = static_cast<double>(engineScroll);
}

void SmoothMotion::Frame(const platform::DisplayFrame& frame, std::int64_t engineScroll,
                         bool stepsNext, std::span<forms::Label* const> lines) {
  if (!follower_) return;
  follower_->SetRefreshRate(frame.RefreshHz);
  shown_ = follower_->Frame(frame.TimeUs, engineScroll, stepsNext);
  ShowLines(engineScroll, lines);
}

void SmoothMotion::ShowLines(std::int64_t engineScroll, std::span<forms::Label* const> lines) {
  const double lag = static_cast<double>(engineScroll) - shown_;
  for (forms::Label* line : lines) line->ShowTopAt(EngineTop(*line) + lag);
  for (RetiredLine& retired : retired_) {
    if (!retired.InUse) continue;
    const double top = retired.Base - shown_;
    if (top + retired.Copy->PixelBounds().Height() <= 0) {
      retired.Copy->SetVisible(false);
      retired.InUse = false;
    } else {
      retired.Copy->ShowTopAt(top);
    }
  }
}

void SmoothMotion::Retire(const forms::Label& line, std::int64_t engineScroll) {
  if (!line.Visible() || line.PixelBounds().Bottom <= 0) return;
  RetiredLine& retired = FreeCopy();
  retired.Copy->ShowCopyOf(line);
  retired.Base = static_cast<double>(EngineTop(line) + engineScroll);
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

int SmoothMotion::EngineTop(const forms::Label& line) const {
  return forms::ToPixels(line.Top(), twipsPerPixelY_);
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
