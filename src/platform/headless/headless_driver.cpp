#include "platform/headless/headless_backend.h"

#include <algorithm>
#include <limits>

#include "platform/driver_handler.h"
#include "platform/tick_schedule.h"

// What a test drives: the simulated clock with the timers and frames it runs, the events a user
// or the system would cause, and what the program drew.
namespace velloway::headless {
namespace {

// Thrown by End() and caught where the event that ended the program was delivered.
struct ProgramEnded {};

constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

}  // namespace

// --- the simulated clock ---

class HeadlessBackend::TimerImpl : public platform::TimerDriver {
 public:
  TimerImpl(HeadlessBackend& backend, std::function<void()> onTick)
      : backend_(backend), onTick_(std::move(onTick)) {
    backend_.timers_.push_back(this);
  }
  ~TimerImpl() override { std::erase(backend_.timers_, this); }

  void Run(std::int32_t intervalMs) override {
    schedule_.Start(backend_.ClockNow(), std::chrono::milliseconds(intervalMs));
  }

  std::int64_t Due() const { return schedule_.Running() ? schedule_.Due().count() : kNever; }
  void Tick() {
    schedule_.TakeTick(backend_.ClockNow());
    onTick_();
  }

 private:
  HeadlessBackend& backend_;
  platform::DriverHandler<> onTick_;
  platform::TickSchedule schedule_;
};

class HeadlessBackend::FrameImpl : public platform::FrameDriver {
 public:
  FrameImpl(HeadlessBackend& backend, std::function<void(const platform::DisplayFrame&)> onFrame)
      : backend_(backend), onFrame_(std::move(onFrame)) {
    backend_.frames_.push_back(this);
  }
  ~FrameImpl() override { std::erase(backend_.frames_, this); }

  void Start() override { schedule_.Start(backend_.ClockNow(), backend_.screen_.RefreshHz); }
  void Stop() override { schedule_.Stop(); }

  std::int64_t Due() const { return schedule_.Running() ? schedule_.Due().count() : kNever; }
  void Frame() {
    const int refreshHz = backend_.screen_.RefreshHz;
    onFrame_({schedule_.TakeFrame(backend_.ClockNow(), refreshHz).count(), refreshHz});
  }

 private:
  HeadlessBackend& backend_;
  platform::DriverHandler<const platform::DisplayFrame&> onFrame_;
  platform::FrameSchedule schedule_;
};

std::unique_ptr<platform::TimerDriver> HeadlessBackend::CreateTimer(std::function<void()> onTick) {
  return std::make_unique<TimerImpl>(*this, std::move(onTick));
}

std::unique_ptr<platform::FrameDriver> HeadlessBackend::CreateFrameDriver(
    std::function<void(const platform::DisplayFrame&)> onFrame) {
  return std::make_unique<FrameImpl>(*this, std::move(onFrame));
}

void HeadlessBackend::AdvanceTime(std::int64_t milliseconds) {
  AdvanceTimeUs(milliseconds * 1000);
}

void HeadlessBackend::AdvanceTimeUs(std::int64_t microseconds) {
  const std::int64_t target = now_ + microseconds;
  while (!ended_) {
    const auto timer =
        std::min_element(timers_.begin(), timers_.end(),
                         [](TimerImpl* a, TimerImpl* b) { return a->Due() < b->Due(); });
    const auto frame =
        std::min_element(frames_.begin(), frames_.end(),
                         [](FrameImpl* a, FrameImpl* b) { return a->Due() < b->Due(); });
    const std::int64_t timerDue = timer == timers_.end() ? kNever : (*timer)->Due();
    const std::int64_t frameDue = frame == frames_.end() ? kNever : (*frame)->Due();
    if (std::min(timerDue, frameDue) > target) break;
    if (timerDue <= frameDue) {
      now_ = timerDue;
      TimerImpl* due = *timer;
      Deliver([due] { due->Tick(); });
    } else {
      now_ = frameDue;
      FrameImpl* due = *frame;
      Deliver([due] { due->Frame(); });
    }
  }
  if (!ended_) now_ = std::max(now_, target);  // a nested AdvanceTime may have gone further
}

// --- events ---

void HeadlessBackend::End() {
  ended_ = true;
  throw ProgramEnded{};
}

void HeadlessBackend::Deliver(const std::function<void()>& event) {
  if (ended_) return;
  try {
    event();
  } catch (const ProgramEnded&) {
    // The program has ended; nothing after End() runs.
  }
}

void HeadlessBackend::SetScreen(const platform::ScreenMetrics& screen) {
  screen_ = screen;
  DeliverToEachWindow(&platform::WindowEvents::OnDisplayChanged);
}

void HeadlessBackend::DeliverToEachWindow(void (platform::WindowEvents::*event)()) {
  std::vector<platform::WindowId> ids;
  for (const auto& [id, window] : windows_) ids.push_back(id);
  for (const platform::WindowId id : ids) {
    Deliver([&] {
      const auto it = windows_.find(id);
      if (it != windows_.end()) (it->second.Events->*event)();
    });
  }
}

void HeadlessBackend::Click(platform::WindowId window, int x, int y, platform::MouseButton button) {
  MouseDown(window, button, x, y);
  MouseUp(window, button, x, y);
}

void HeadlessBackend::MouseDown(platform::WindowId window, platform::MouseButton button, int x,
                                int y) {
  Deliver([&] { windows_.at(window).Events->OnPointerButtonDown(button, x, y); });
}

void HeadlessBackend::MouseUp(platform::WindowId window, platform::MouseButton button, int x,
                              int y) {
  Deliver([&] { windows_.at(window).Events->OnPointerButtonUp(button, x, y); });
}

void HeadlessBackend::ActivateOtherProgram() {
  DeliverToEachWindow(&platform::WindowEvents::OnActivatedElsewhere);
}

void HeadlessBackend::RequestMinimize(platform::WindowId window) {
  if (windows_.at(window).Style.Border != platform::BorderStyle::None) Minimize(window);
}

void HeadlessBackend::Minimize(platform::WindowId window) {
  Deliver([&] { windows_.at(window).Events->OnMinimizedBySystem(); });
}

void HeadlessBackend::KeyDown(platform::WindowId window) {
  Deliver([&] { windows_.at(window).Events->OnKeyDown(); });
}

void HeadlessBackend::ChooseListEntry(platform::WindowId window, int index) {
  for (const auto& control : windows_.at(window).Controls) {
    if (control->Properties.Kind != platform::ControlKind::DropDownList || !control->Events)
      continue;
    control->Selected = index;
    return;
  }
}

void HeadlessBackend::ToggleCheckBox(platform::WindowId window, std::string_view caption) {
  for (const auto& control : windows_.at(window).Controls) {
    if (control->Properties.Kind != platform::ControlKind::CheckBox ||
        control->Properties.Caption != caption || !control->Events) {
      continue;
    }
    control->Checked = !control->Checked;
    return;
  }
}

void HeadlessBackend::PressButton(platform::WindowId window, std::string_view caption) {
  for (const auto& control : windows_.at(window).Controls) {
    if (control->Properties.Caption != caption || !control->Events) continue;
    platform::ControlEvents* events = control->Events;
    Deliver([events] { events->OnControlClick(); });
    return;
  }
}

void HeadlessBackend::PressEnter(platform::WindowId window) {
  for (const auto& control : windows_.at(window).Controls) {
    if (control->Properties.IsDefault) return PressButton(window, control->Properties.Caption);
  }
}

void HeadlessBackend::PressEscape(platform::WindowId window) {
  for (const auto& control : windows_.at(window).Controls) {
    if (control->Properties.IsCancel) return PressButton(window, control->Properties.Caption);
  }
}

void HeadlessBackend::DestroyWindow(platform::WindowId window) {
  platform::WindowEvents* events = windows_.at(window).Events;
  Deliver([events] { events->OnDestroyedBySystem(); });
}

const HeadlessWindow* HeadlessBackend::Window(platform::WindowId id) const {
  const auto it = windows_.find(id);
  return it == windows_.end() ? nullptr : &it->second;
}

std::vector<const HeadlessWindow*> HeadlessBackend::Windows() const {
  std::vector<const HeadlessWindow*> all;
  for (const auto& [id, window] : windows_) all.push_back(&window);
  return all;
}

void HeadlessBackend::PaintInvalidated(platform::WindowId id, platform::Canvas& canvas) {
  HeadlessWindow& window = windows_.at(id);
  std::vector<platform::PixelRect> areas = std::move(window.Invalidated);
  window.Invalidated.clear();
  for (const platform::PixelRect& area : areas) window.Events->OnPaint(canvas, area);
}

}  // namespace velloway::headless
