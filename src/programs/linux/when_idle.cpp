#include "programs/linux/when_idle.h"

#include <poll.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/posix/end_signals.h"
#include "platform/posix/mutter_idle.h"
#include "platform/posix/poll_loop.h"
#include "platform/wayland/wayland_idle.h"
#include "platform/x11/x11_idle.h"
#include "programs/linux/idle_wait.h"

namespace velloway::linux {
namespace {

class DesktopSessions final : public IdleSessions {
 public:
  explicit DesktopSessions(std::chrono::milliseconds wait) : wait_(wait) {}
  posix::IdleOffer Compositor() override { return wayland::OfferCompositorIdle(wait_); }
  posix::IdleOffer GnomeIdleMonitor() override { return posix::OfferGnomeIdleMonitor(wait_); }
  posix::IdleOffer XServer() override { return x11::OfferServerIdle(); }

 private:
  std::chrono::milliseconds wait_;
};

// Waits until the schedule starts a roll: true; false once an end signal came.
bool WaitUntilIdle(posix::IdleSource& source, const IdleSchedule& schedule) {
  for (;;) {
    if (posix::EndSignalled()) return false;
    const IdleSchedule::Next next = schedule.At(posix::MonotonicTime(), source.IdleTime());
    if (next.Start) return true;
    if (!source.ReadyToWait()) continue;
    pollfd waits[] = {{source.Fd(), POLLIN, 0}, {posix::EndSignalFd(), POLLIN, 0}};
    const int ready = poll(waits, 2, posix::PollTimeout(next.AskAgain));
    source.AfterWait(ready > 0 ? waits[0].revents : 0);
  }
}

}  // namespace

int PlayWhenIdle(std::chrono::milliseconds wait, const std::function<int()>& playRoll) {
  // From the start: the wait is long, and an end signal ends it in order.
  posix::CatchEndSignals();
  DesktopSessions sessions(wait);
  const std::unique_ptr<posix::IdleSource> source = ChooseIdleSource(sessions);
  const bool report = std::getenv("VELLOWAY_IDLE_REPORT") != nullptr;
  if (report)
    std::fprintf(stderr, "velloway: idle told by %s\n", std::string(source->Name()).c_str());
  IdleSchedule schedule(wait);
  while (WaitUntilIdle(*source, schedule)) {
    if (report) std::fprintf(stderr, "velloway: idle: the roll starts\n");
    const int status = playRoll();
    if (status != 0 || posix::EndSignalled()) return status;
    source->Renew();
    schedule.RollEnded(posix::MonotonicTime());
  }
  return 0;
}

}  // namespace velloway::linux
