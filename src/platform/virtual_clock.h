#pragma once
// Time as a simulation lets it pass, for the backends that live in memory: the unit tests'
// headless backend and the renderer's raster backend. It stands still until told to advance; then
// every timer tick and display frame due by then runs, in time order, on the shared schedules.
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/clock.h"
#include "platform/clock_drivers.h"
#include "platform/screens.h"

namespace velloway::platform {

// A backend whose time passes as a simulation lets it: a film's frames are taken on it.
class SimulatedTime {
 public:
  virtual ~SimulatedTime() = default;
  // Lets time pass until nowUs, not before the present: every tick and frame due by then runs.
  virtual void AdvanceTo(std::int64_t nowUs) = 0;
};

class VirtualClock : public Clock {
 public:
  // Frames follow the refresh rate screens tell as each frame is taken.
  explicit VirtualClock(Screens& screens);
  ~VirtualClock() override;
  VirtualClock(const VirtualClock&) = delete;
  VirtualClock& operator=(const VirtualClock&) = delete;

  std::unique_ptr<TimerDriver> CreateTimer(std::function<void()> onTick) override;
  // Frames at the screen's refresh rate from Start: frame k at k * 1,000,000 / RefreshHz
  // microseconds, whole microseconds rounded down.
  std::unique_ptr<FrameDriver> CreateFrameDriver(
      std::function<void(const DisplayFrame&)> onFrame) override;

  // Lets time pass: every timer tick and frame that falls due runs, in time order; a tick before
  // a frame due at the same moment. A handler may let time pass itself. One that throws leaves
  // the clock at its own time.
  void Advance(std::int64_t microseconds);
  std::int64_t NowUs() const { return now_; }
  // From now on time stands still and no tick or frame runs: the program has ended.
  void Stop() { stopped_ = true; }
  bool Stopped() const { return stopped_; }

 private:
  std::int64_t now_ = 0;  // microseconds
  ClockDrivers drivers_;
  bool stopped_ = false;
};

}  // namespace velloway::platform
