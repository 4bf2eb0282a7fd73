#pragma once
// When timers' ticks and display frames fall due, on a clock the backend reads and hands in:
// the real backends their monotonic clock, the headless backend its simulated one.
#include <algorithm>
#include <chrono>
#include <cstdint>

namespace velloway::platform {

// A moment on a backend's monotonic clock, counted from an origin of its own.
using ClockTime = std::chrono::microseconds;

// When the ticks of a timer fall due: tick n at start + n x interval, so that a late tick never
// delays the ones after it and N ticks take N intervals, which a roll timed to music relies on.
// After a tick more than an interval late the next one is due already: the schedule then
// restarts from that moment, so that one tick follows at once and the rest come an interval
// apart again, instead of a burst making up every tick missed while the program was busy.
class TickSchedule {
 public:
  // Ticks every interval from now; an interval of 0 or less stops the ticks.
  void Start(ClockTime now, std::chrono::milliseconds interval);
  bool Running() const { return interval_ > ClockTime::zero(); }
  // When the next tick is due; meaningful while running.
  ClockTime Due() const { return due_; }
  bool DueBy(ClockTime now) const { return Running() && due_ <= now; }
  // Takes the tick that was due and schedules the next one, as seen at `now`. Called before the
  // tick's handler runs: the handler's own time does not delay the next tick, and a Start from
  // inside the handler has the last word.
  void TakeTick(ClockTime now);

 private:
  ClockTime interval_ = ClockTime::zero();
  ClockTime start_{};       // moved on when ticks are dropped
  std::int64_t ticks_ = 0;  // ticks taken since start_
  ClockTime due_{};
};

// Frame k's time after frame 0's at refreshHz: k x 1,000,000 / refreshHz microseconds, rounded
// down.
ClockTime FrameOffset(std::int64_t frame, std::int64_t refreshHz);

// When display frames fall due: frame k at start + k x 1,000,000 / refresh rate microseconds,
// whole microseconds rounded down, so that frames never drift from the display's rate. Frames
// missed while the program was busy are skipped, not run late in a burst.
class FrameSchedule {
 public:
  // Frames from now at refreshHz (1 at least).
  void Start(ClockTime now, int refreshHz);
  void Stop() { running_ = false; }
  bool Running() const { return running_; }
  // Whether its frames follow a display of refreshHz.
  bool RunsAt(int refreshHz) const { return std::max(refreshHz, 1) == refreshHz_; }
  // When the next frame is due; meaningful while running.
  ClockTime Due() const { return FrameTime(frames_ + 1); }
  bool DueBy(ClockTime now) const { return running_ && Due() <= now; }
  // Takes the frame shown at `now`: the next one due is the first after now. Returns the time
  // the taken frame was due, at or before now: frames a whole number of periods apart, so that
  // what moves with them moves evenly, however late each handler runs.
  ClockTime TakeFrame(ClockTime now);
  // As TakeFrame, on a display that refreshes at refreshHz now: at a rate other than the
  // schedule's, frames start again from now at the new rate.
  ClockTime TakeFrame(ClockTime now, int refreshHz);

 private:
  ClockTime FrameTime(std::int64_t frame) const;
  // The last frame due at or before now.
  std::int64_t LastFrameBy(ClockTime now) const;

  ClockTime start_{};
  std::int64_t refreshHz_ = 1;
  std::int64_t frames_ = 0;  // the frame last taken
  bool running_ = false;
};

}  // namespace velloway::platform
