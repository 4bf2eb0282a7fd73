#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

#include "platform/driver_handler.h"
#include "platform/tick_schedule.h"
#include "platform/win32/win32_backend.h"
#include "platform/win32/win32_frames.h"

namespace velloway::win32 {

// Ticks through WM_TIMER on the backend's hidden window, so a tick runs from the message loop
// (or RunWaitingEvents) and never inside another handler, at the times of a TickSchedule on the
// performance counter. The system timer only serves as a one-shot alarm set afresh for the next
// due time, so its coarse granularity (a 100 ms timer fires every ~109 ms with a 15.6 ms clock)
// makes single ticks a little late but never adds up.
class Win32Timer final : public platform::TimerDriver {
 public:
  Win32Timer(Win32Backend& backend, std::function<void()> onTick)
      : backend_(backend), onTick_(std::move(onTick)), id_(backend.AddTimer(*this)) {}
  ~Win32Timer() override {
    Stop();
    backend_.RemoveTimer(id_);
  }
  Win32Timer(const Win32Timer&) = delete;
  Win32Timer& operator=(const Win32Timer&) = delete;

  void Run(std::int32_t intervalMs) override {
    schedule_.Start(CounterTime(), std::chrono::milliseconds(intervalMs));
    if (!schedule_.Running()) {
      Stop();
      return;
    }
    SetAlarm();
  }

  void Tick() {
    if (!schedule_.Running()) return;  // a tick already queued when the timer stopped
    schedule_.TakeTick(CounterTime());
    SetAlarm();
    onTick_();
  }

 private:
  // Sets the alarm for the next due tick.
  void SetAlarm() {
    const HWND window = backend_.AppWindow();
    if (window == nullptr) return;
    // Whole milliseconds, rounded up; the system's minimum when the tick is due now.
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(schedule_.Due() - CounterTime());
    const auto delay = static_cast<UINT>(std::clamp<std::int64_t>(
        wait.count(), USER_TIMER_MINIMUM, std::int64_t{USER_TIMER_MAXIMUM}));
    SetTimer(window, id_, delay, nullptr);
  }
  void Stop() {
    if (const HWND window = backend_.AppWindow()) KillTimer(window, id_);
  }

  Win32Backend& backend_;
  platform::DriverHandler<> onTick_;
  UINT_PTR id_;
  platform::TickSchedule schedule_;
};

std::unique_ptr<platform::TimerDriver> Win32Backend::CreateTimer(std::function<void()> onTick) {
  return std::make_unique<Win32Timer>(*this, std::move(onTick));
}

UINT_PTR Win32Backend::AddTimer(Win32Timer& timer) {
  const UINT_PTR id = nextTimerId_++;
  timers_.emplace(id, &timer);
  return id;
}

void Win32Backend::OnTimer(UINT_PTR id) {
  const auto found = timers_.find(id);
  if (found != timers_.end()) found->second->Tick();
}

}  // namespace velloway::win32
