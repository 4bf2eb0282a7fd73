#pragma once
#include <chrono>
#include <cstdint>

namespace velloway::x11 {

// When the ticks of a timer fall due, as on Windows: tick n at start + n x interval on the
// monotonic clock (CLOCK_MONOTONIC), so that a late tick never delays the ones after it and N
// ticks take N intervals, which a roll timed to music relies on. After a tick more than an
// interval late the next one is due already: the schedule then restarts from that moment, so
// that one tick follows at once and the rest come an interval apart again, instead of a burst
// making up every tick missed while the program was busy.
class TickSchedule {
 public:
  using Clock = std::chrono::steady_clock;

  // Ticks every interval from now; an interval of 0 or less stops the ticks.
  void Start(Clock::time_point now, std::chrono::milliseconds interval);
  void Stop() { interval_ = Clock::duration::zero(); }
  bool Running() const { return interval_ > Clock::duration::zero(); }
  // When the next tick is due; meaningful while running.
  Clock::time_point Due() const { return due_; }
  // Takes the tick that was due and schedules the next one, as seen at `now`.
  void TakeTick(Clock::time_point now);

 private:
  Clock::duration interval_ = Clock::duration::zero();
  Clock::time_point start_;  // moved on when ticks are dropped
  std::int64_t ticks_ = 0;   // ticks taken since start_
  Clock::time_point due_;
};

}  // namespace velloway::x11
