#pragma once
#include <cstdint>
#include <functional>
#include <memory>

#include "forms/form.h"

namespace velloway::forms {

// Raises onTick every Interval milliseconds while Enabled; an Interval of 0 raises no ticks.
class Timer {
 public:
  Timer(Form& owner, std::int32_t interval, bool enabled, std::function<void()> onTick);
  std::int32_t Interval() const { return interval_; }
  void SetInterval(std::int32_t interval);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

 private:
  void Apply();

  std::int32_t interval_;
  bool enabled_;
  std::unique_ptr<platform::TimerDriver> driver_;
};

}  // namespace velloway::forms
