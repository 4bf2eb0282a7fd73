#include "platform/tick_schedule.h"

#include <algorithm>

namespace velloway::platform {
namespace {

constexpr std::int64_t kMicrosecondsPerSecond = 1'000'000;

}  // namespace

void TickSchedule::Start(ClockTime now, std::chrono::milliseconds interval) {
  interval_ = std::max<ClockTime>(interval, ClockTime::zero());
  start_ = now;
  ticks_ = 0;
  due_ = now + interval_;
}

void TickSchedule::TakeTick(ClockTime now) {
  if (!Running()) return;
  ++ticks_;
  due_ = start_ + (ticks_ + 1) * interval_;
  if (due_ < now) {
    start_ = now - (ticks_ + 1) * interval_;
    due_ = now;
  }
}

void FrameSchedule::Start(ClockTime now, int refreshHz) {
  start_ = now;
  refreshHz_ = std::max(refreshHz, 1);
  frames_ = 0;
  running_ = true;
}

ClockTime FrameSchedule::TakeFrame(ClockTime now) {
  frames_ = std::max(frames_ + 1, LastFrameBy(now));
  return FrameTime(frames_);
}

ClockTime FrameSchedule::TakeFrame(ClockTime now, int refreshHz) {
  if (RunsAt(refreshHz)) return TakeFrame(now);
  Start(now, refreshHz);
  return now;
}

ClockTime FrameOffset(std::int64_t frame, std::int64_t refreshHz) {
  return ClockTime(frame * kMicrosecondsPerSecond / refreshHz);
}

ClockTime FrameSchedule::FrameTime(std::int64_t frame) const {
  return start_ + FrameOffset(frame, refreshHz_);
}

std::int64_t FrameSchedule::LastFrameBy(ClockTime now) const {
  // Frame k is due by t microseconds from the start when floor(k x 1e6 / hz) <= t, that is
  // when k x 1e6 < (t + 1) x hz.
  const std::int64_t elapsed = (now - start_).count();
  if (elapsed < 0) return 0;
  return ((elapsed + 1) * refreshHz_ - 1) / kMicrosecondsPerSecond;
}

}  // namespace velloway::platform
