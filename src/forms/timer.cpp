#include "forms/timer.h"

#include <utility>

namespace velloway::forms {

Timer::Timer(Form& owner, std::int32_t interval, bool enabled, std::function<void()> onTick)
    : interval_(interval),
      enabled_(enabled),
      driver_(owner.backend_.CreateTimer(std::move(onTick))) {
  Apply();
}

void Timer::SetInterval(std::int32_t interval) {
  interval_ = interval;
  Apply();
}

void Timer::SetEnabled(bool enabled) {
  enabled_ = enabled;
  Apply();
}

void Timer::Apply() {
  driver_->Run(enabled_ && interval_ > 0 ? interval_ : 0);
}

}  // namespace velloway::forms
