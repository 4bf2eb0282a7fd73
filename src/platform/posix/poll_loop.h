#pragma once
// The native programs' event loop, whatever display system they show on: ticks and frames on the
// monotonic clock (the shared ClockDrivers), the end signals (SIGTERM, SIGINT, SIGHUP), and the
// display system's connection, one more file descriptor to poll, whose events it handles itself.
// Changed windows are painted when the events and the due ticks and frames have run.
#include <functional>
#include <memory>
#include <optional>

#include "platform/clock.h"
#include "platform/clock_drivers.h"
#include "platform/screens.h"

namespace velloway::posix {

// The monotonic clock, as the schedules read it.
platform::ClockTime MonotonicTime();
// How long poll waits for a moment on that clock: whole milliseconds, rounded up (woken early, a
// loop would only wait again); -1, for ever, without one.
int PollTimeout(std::optional<platform::ClockTime> until);

class PollLoop {
 public:
  // What a display system brings to the loop.
  class Connection {
   public:
    virtual ~Connection() = default;
    // The descriptor to poll for its events.
    virtual int Fd() const = 0;
    // Handles the events that have come, without waiting.
    virtual void HandleEvents() = 0;
    // Whether the program has a window left.
    virtual bool HasWindows() const = 0;
    // Paints what changed and sends what is pending.
    virtual void Paint() = 0;
    // Right before the wait: false when events came meanwhile, which the wait would not see.
    virtual bool ReadyToWait() = 0;
    // Right after the wait, with what poll said of Fd (0 when it timed out): false when the
    // connection is gone.
    virtual bool AfterWait(short revents) = 0;
    // An end signal came: the program ends at once (Stop).
    [[noreturn]] virtual void End() = 0;
  };

  // Frames follow the refresh rate screens tell.
  explicit PollLoop(platform::Screens& screens);

  std::unique_ptr<platform::TimerDriver> CreateTimer(std::function<void()> onTick);
  std::unique_ptr<platform::FrameDriver> CreateFrameDriver(
      std::function<void(const platform::DisplayFrame&)> onFrame);

  // Runs what waits now, once: an end signal, the connection's events, the ticks and frames due,
  // the painting.
  void RunWaitingEvents(Connection& connection);
  // Runs until the last window is gone (0), the connection is lost (1), or Stop. End signals are
  // caught from here on: before, their default action ends the program at once (a long load
  // too).
  int Run(Connection& connection);
  // Ends the loop at once, from whatever handler runs: Run unwinds it and returns status. Outside
  // Run, the process ends with status.
  [[noreturn]] void Stop(int status);

 private:
  struct Stopped {
    int Code;
  };

  // Runs until the last window is gone (0) or the connection is lost (1).
  int Loop(Connection& connection);
  platform::ClockDrivers drivers_;
  bool running_ = false;
};

}  // namespace velloway::posix
