#pragma once
// The timers and frame drivers of one clock, each on its schedule (tick_schedule.h), and the one
// rule of which runs next: the earliest due, a tick before a frame due at the same moment. The
// virtual clock runs them as a simulation lets time pass; the native event loop as the monotonic
// clock goes.
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/clock.h"
#include "platform/screens.h"
#include "platform/tick_schedule.h"

namespace velloway::platform {

class ClockDrivers {
 public:
  // now reads the clock; frames follow the refresh rate screens tell as each frame is taken.
  ClockDrivers(std::function<ClockTime()> now, Screens& screens);
  ~ClockDrivers();
  ClockDrivers(const ClockDrivers&) = delete;
  ClockDrivers& operator=(const ClockDrivers&) = delete;

  std::unique_ptr<TimerDriver> CreateTimer(std::function<void()> onTick);
  // Frames at the screen's refresh rate from Start: frame k at start + k x 1,000,000 / RefreshHz
  // microseconds, whole microseconds rounded down; frames missed are skipped.
  std::unique_ptr<FrameDriver> CreateFrameDriver(std::function<void(const DisplayFrame&)> onFrame);

  // When the next tick or frame is due; nothing while none runs.
  std::optional<ClockTime> NextDue() const;
  // Runs the tick or frame due first, if it is due by `by`; whether one ran.
  bool RunFirstDue(ClockTime by);
  // Runs each tick and frame due by `by` once, in the order they fall due; one that a handler
  // destroys, stops or moves on meanwhile does not run.
  void RunEachDue(ClockTime by);

 private:
  class Driver;
  class Timer;
  class Frames;

  Driver* FirstDue(ClockTime by) const;

  std::function<ClockTime()> now_;
  Screens& screens_;
  std::vector<Driver*> drivers_;  // in the order they were made
};

}  // namespace velloway::platform
