#include "platform/x11/tick_schedule.h"

namespace velloway::x11 {

void TickSchedule::Start(Clock::time_point now, std::chrono::milliseconds interval) {
  interval_ = interval > std::chrono::milliseconds::zero() ? Clock::duration(interval)
                                                           : Clock::duration::zero();
  start_ = now;
  ticks_ = 0;
  due_ = now + interval_;
}

void TickSchedule::TakeTick(Clock::time_point now) {
  if (!Running()) return;
  ++ticks_;
  due_ = start_ + (ticks_ + 1) * interval_;
  if (due_ < now) {
    start_ = now - (ticks_ + 1) * interval_;
    due_ = now;
  }
}

}  // namespace velloway::x11
