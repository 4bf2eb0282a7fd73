#pragma once
// The program's events as they run, and its end.

namespace velloway::platform {

class EventLoop {
 public:
  virtual ~EventLoop() = default;
  // Runs the events that are waiting, then returns.
  virtual void RunWaitingEvents() = 0;
  // Ends the program at once: no further event handler runs.
  [[noreturn]] virtual void End() = 0;
};

}  // namespace velloway::platform
