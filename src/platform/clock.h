#pragma once
// The program's clock: timers that tick at an interval and frames at the display's pace.
#include <cstdint>
#include <functional>
#include <memory>

namespace velloway::platform {

class TimerDriver {
 public:
  virtual ~TimerDriver() = default;
  // Ticks every intervalMs milliseconds from now; 0 stops the ticks.
  virtual void Run(std::int32_t intervalMs) = 0;
};

// A display frame: when it is shown, in microseconds on a clock that only goes forward (frames a
// whole number of refresh periods apart), and the display's refresh rate then.
struct DisplayFrame {
  std::int64_t TimeUs = 0;
  int RefreshHz = 60;
};

// Raises onFrame at each frame of the display while started. A change of the display's refresh
// rate is followed from the next frame on. A frame runs from the event loop, never inside
// another handler, and never delays or reorders the timers' ticks.
class FrameDriver {
 public:
  virtual ~FrameDriver() = default;
  virtual void Start() = 0;
  virtual void Stop() = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::unique_ptr<TimerDriver> CreateTimer(std::function<void()> onTick) = 0;
  // Frames at the primary monitor's refresh rate (Screens::Screen().RefreshHz).
  virtual std::unique_ptr<FrameDriver> CreateFrameDriver(
      std::function<void(const DisplayFrame&)> onFrame) = 0;
};

}  // namespace velloway::platform
