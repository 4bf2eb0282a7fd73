#include "platform/x11/x11_backend.h"

#include "platform/driver_handler.h"
#include "platform/posix/end_signals.h"
#include "platform/tick_schedule.h"
#include "platform/x11/x11_window.h"

#include <X11/extensions/Xrandr.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <utility>
#include <vector>

// The event loop: X events, the timers' ticks and the frames, painting, and the waits between.
namespace velloway::x11 {
namespace {

// The monotonic clock, as the schedules read it.
platform::ClockTime MonotonicTime() {
  return std::chrono::duration_cast<platform::ClockTime>(
      std::chrono::steady_clock::now().time_since_epoch());
}

// Runs each of drivers that is due by now once; one that a handler destroys or restarts
// meanwhile does not run.
template <typename Driver, typename Run>
void RunEachDue(const std::vector<Driver*>& drivers, platform::ClockTime now, Run run) {
  std::vector<Driver*> due;
  for (Driver* driver : drivers) {
    if (driver->Schedule().DueBy(now)) due.push_back(driver);
  }
  for (Driver* driver : due) {
    if (std::find(drivers.begin(), drivers.end(), driver) != drivers.end() &&
        driver->Schedule().DueBy(now)) {
      run(*driver);
    }
  }
}

}  // namespace

// Ticks from the event loop (or RunWaitingEvents), never inside another handler, on a TickSchedule.
class X11Timer final : public platform::TimerDriver {
 public:
  X11Timer(X11Backend& backend, std::function<void()> onTick)
      : backend_(backend), onTick_(std::move(onTick)) {
    backend_.AddTimer(*this);
  }
  ~X11Timer() override { backend_.RemoveTimer(*this); }
  X11Timer(const X11Timer&) = delete;
  X11Timer& operator=(const X11Timer&) = delete;

  void Run(std::int32_t intervalMs) override {
    schedule_.Start(MonotonicTime(), std::chrono::milliseconds(intervalMs));
  }
  const platform::TickSchedule& Schedule() const { return schedule_; }
  void Tick(platform::ClockTime now) {
    schedule_.TakeTick(now);
    onTick_();
  }

 private:
  X11Backend& backend_;
  platform::DriverHandler<> onTick_;
  platform::TickSchedule schedule_;
};

// Frames from the event loop on a FrameSchedule at the primary output's refresh rate.
class X11FrameDriver final : public platform::FrameDriver {
 public:
  X11FrameDriver(X11Backend& backend, std::function<void(const platform::DisplayFrame&)> onFrame)
      : backend_(backend), onFrame_(std::move(onFrame)) {
    backend_.AddFrameDriver(*this);
  }
  ~X11FrameDriver() override { backend_.RemoveFrameDriver(*this); }
  X11FrameDriver(const X11FrameDriver&) = delete;
  X11FrameDriver& operator=(const X11FrameDriver&) = delete;

  void Start() override { schedule_.Start(MonotonicTime(), backend_.Screen().RefreshHz); }
  void Stop() override { schedule_.Stop(); }
  const platform::FrameSchedule& Schedule() const { return schedule_; }
  void Frame(platform::ClockTime now) {
    const int refreshHz = backend_.Screen().RefreshHz;
    onFrame_({schedule_.TakeFrame(now, refreshHz).count(), refreshHz});
  }

 private:
  X11Backend& backend_;
  platform::DriverHandler<const platform::DisplayFrame&> onFrame_;
  platform::FrameSchedule schedule_;
};

std::unique_ptr<platform::TimerDriver> X11Backend::CreateTimer(std::function<void()> onTick) {
  return std::make_unique<X11Timer>(*this, std::move(onTick));
}

void X11Backend::HandleEvent(XEvent& event) {
  const ::Window target = event.xany.window;
  if (randrEventBase_ >= 0 && event.type == randrEventBase_ + RRScreenChangeNotify) {
    XRRUpdateConfiguration(&event);
    ScreensChanged();
    return;
  }
  if (target == host_ && OnHost()) {
    if (event.type == ConfigureNotify && metrics_ &&
        (event.xconfigure.width != metrics_->WidthPx ||
         event.xconfigure.height != metrics_->HeightPx)) {
      ScreensChanged();
    } else if (event.type == ClientMessage && ownHost_ &&
               static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow_) {
      // Closing the ordinary window destroys it, and the roll's window inside it with it.
      XDestroyWindow(display_, host_);
      ownHost_ = false;
    }
    return;
  }
  if (target == root_ && event.type == ConfigureNotify) {
    ScreensChanged();
    return;
  }
  const auto found = windows_.find(target);
  if (found != windows_.end()) found->second->HandleEvent(event);
}

void X11Backend::HandlePendingEvents() {
  while (XPending(display_) > 0) {
    XEvent event{};
    XNextEvent(display_, &event);
    HandleEvent(event);
  }
}

void X11Backend::RunDueTimers() {
  RunEachDue(timers_, MonotonicTime(), [](X11Timer& timer) { timer.Tick(MonotonicTime()); });
}

void X11Backend::RunDueFrames() {
  const platform::ClockTime now = MonotonicTime();
  RunEachDue(frameDrivers_, now, [now](X11FrameDriver& driver) { driver.Frame(now); });
}

void X11Backend::RemoveTimer(X11Timer& timer) {
  std::erase(timers_, &timer);
}

std::unique_ptr<platform::FrameDriver> X11Backend::CreateFrameDriver(
    std::function<void(const platform::DisplayFrame&)> onFrame) {
  return std::make_unique<X11FrameDriver>(*this, std::move(onFrame));
}

void X11Backend::RemoveFrameDriver(X11FrameDriver& driver) {
  frameDrivers_.erase(std::remove(frameDrivers_.begin(), frameDrivers_.end(), &driver),
                      frameDrivers_.end());
}

void X11Backend::PaintWindows() {
  std::vector<X11Window*> windows;
  for (const auto& [id, window] : windows_) windows.push_back(window);
  for (X11Window* window : windows) window->PaintInvalidated();
}

int X11Backend::MillisecondsToNextWake() const {
  std::optional<platform::ClockTime> next;
  const auto consider = [&next](const auto& schedule) {
    if (schedule.Running() && (!next || schedule.Due() < *next)) next = schedule.Due();
  };
  for (const X11Timer* timer : timers_) consider(timer->Schedule());
  for (const X11FrameDriver* driver : frameDrivers_) consider(driver->Schedule());
  if (!next) return -1;
  const platform::ClockTime wait = *next - MonotonicTime();
  if (wait <= platform::ClockTime::zero()) return 0;
  // Whole milliseconds, rounded up: woken early, the loop would only wait again.
  return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wait).count());
}

void X11Backend::RunWaitingEvents() {
  if (posix::EndSignalled()) End();
  HandlePendingEvents();
  RunDueTimers();
  RunDueFrames();
  PaintWindows();
  XFlush(display_);
}

int X11Backend::RunEventLoop() {
  // Only from here does an end signal wait for the loop, which stops the music and closes the
  // display in order. Before, nothing plays, and its default action ends the program at once:
  // loading a very large script, the program still ends when the daemon says so.
  posix::CatchEndSignals();
  const int xfd = ConnectionNumber(display_);
  for (;;) {
    HandlePendingEvents();
    if (windows_.empty()) return 0;
    RunDueTimers();
    if (windows_.empty()) return 0;
    RunDueFrames();
    if (windows_.empty()) return 0;
    PaintWindows();
    // Xlib may have read events meanwhile; they would not wake the wait.
    if (XPending(display_) > 0) continue;
    pollfd waits[] = {{xfd, POLLIN, 0}, {posix::EndSignalFd(), POLLIN, 0}};
    const int ready = poll(waits, 2, MillisecondsToNextWake());
    if (ready > 0 && (waits[1].revents & POLLIN) != 0 && posix::EndSignalled()) End();
    if (ready > 0 && (waits[0].revents & (POLLERR | POLLHUP)) != 0) return 1;  // server gone
  }
}

}  // namespace velloway::x11
