#include "platform/virtual_clock.h"

#include <algorithm>
#include <utility>

namespace velloway::platform {

VirtualClock::VirtualClock(Screens& screens)
    : drivers_([this] { return ClockTime(now_); }, screens) {}

VirtualClock::~VirtualClock() = default;

std::unique_ptr<TimerDriver> VirtualClock::CreateTimer(std::function<void()> onTick) {
  return drivers_.CreateTimer(std::move(onTick));
}

std::unique_ptr<FrameDriver> VirtualClock::CreateFrameDriver(
    std::function<void(const DisplayFrame&)> onFrame) {
  return drivers_.CreateFrameDriver(std::move(onFrame));
}

void VirtualClock::Advance(std::int64_t microseconds) {
  const std::int64_t target = now_ + microseconds;
  while (!stopped_) {
    const std::optional<ClockTime> due = drivers_.NextDue();
    if (!due || due->count() > target) break;
    now_ = due->count();
    drivers_.RunFirstDue(*due);
  }
  if (!stopped_) now_ = std::max(now_, target);  // a nested Advance may have gone further
}

}  // namespace velloway::platform
