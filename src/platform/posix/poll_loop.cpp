#include "platform/posix/poll_loop.h"

#include <poll.h>

#include <chrono>
#include <cstdlib>
#include <utility>

#include "platform/posix/end_signals.h"

namespace velloway::posix {

platform::ClockTime MonotonicTime() {
  return std::chrono::duration_cast<platform::ClockTime>(
      std::chrono::steady_clock::now().time_since_epoch());
}

int PollTimeout(std::optional<platform::ClockTime> until) {
  if (!until) return -1;
  const platform::ClockTime wait = *until - MonotonicTime();
  if (wait <= platform::ClockTime::zero()) return 0;
  return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wait).count());
}

PollLoop::PollLoop(platform::Screens& screens) : drivers_(MonotonicTime, screens) {}

std::unique_ptr<platform::TimerDriver> PollLoop::CreateTimer(std::function<void()> onTick) {
  return drivers_.CreateTimer(std::move(onTick));
}

std::unique_ptr<platform::FrameDriver> PollLoop::CreateFrameDriver(
    std::function<void(const platform::DisplayFrame&)> onFrame) {
  return drivers_.CreateFrameDriver(std::move(onFrame));
}

void PollLoop::RunWaitingEvents(Connection& connection) {
  if (EndSignalled()) connection.End();
  connection.HandleEvents();
  drivers_.RunEachDue(MonotonicTime());
  connection.Paint();
}

int PollLoop::Run(Connection& connection) {
  CatchEndSignals();
  running_ = true;
  int status = 0;
  try {
    status = Loop(connection);
  } catch (const Stopped& stopped) {
    status = stopped.Code;
  }
  running_ = false;
  return status;
}

void PollLoop::Stop(int status) {
  if (!running_) std::_Exit(status);
  throw Stopped{status};
}

int PollLoop::Loop(Connection& connection) {
  for (;;) {
    connection.HandleEvents();
    if (!connection.HasWindows()) return 0;
    drivers_.RunEachDue(MonotonicTime());
    if (!connection.HasWindows()) return 0;
    connection.Paint();
    if (!connection.ReadyToWait()) continue;
    pollfd waits[] = {{connection.Fd(), POLLIN, 0}, {EndSignalFd(), POLLIN, 0}};
    const int ready = poll(waits, 2, PollTimeout(drivers_.NextDue()));
    if (ready > 0 && (waits[1].revents & POLLIN) != 0 && EndSignalled()) connection.End();
    if (!connection.AfterWait(ready > 0 ? waits[0].revents : 0)) return 1;
  }
}

}  // namespace velloway::posix
