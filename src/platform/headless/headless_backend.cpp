#include "platform/headless/headless_backend.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/driver_handler.h"
#include "platform/tick_schedule.h"
#include "platform/utf8.h"

namespace velloway::headless {
namespace {

// Thrown by End() and caught where the event that ended the program was delivered.
struct ProgramEnded {};

forms::TextExtent DefaultMetrics(const forms::FontSpec& font, std::string_view text, int dpiY) {
  const int height =
      std::max(1, static_cast<int>(std::lround(font.Size * static_cast<float>(dpiY) / 72.0f)));
  int characters = 0;
  for (std::size_t pos = 0; pos < text.size(); ++characters) utf8::Decode(text, pos);
  return {characters * height / 2, height};
}

}  // namespace

// --- settings ---

bool HeadlessSettings::Write(std::string_view app, std::string_view section, std::string_view key,
                             std::string_view value) {
  return !writesFail_ && MemorySettings::Write(app, section, key, value);
}

// --- controls ---

class HeadlessBackend::NativeControlImpl : public forms::NativeControl {
 public:
  explicit NativeControlImpl(std::shared_ptr<HeadlessControl> state) : state_(std::move(state)) {}
  ~NativeControlImpl() override { state_->Events = nullptr; }
  void SetBounds(const forms::PixelRect& bounds) override { state_->Properties.Bounds = bounds; }
  void AddItem(std::string_view text) override { state_->Items.emplace_back(text); }
  void SetSelectedIndex(int index) override { state_->Selected = index; }
  int SelectedIndex() const override { return state_->Selected; }
  std::string SelectedText() const override {
    const int index = state_->Selected;
    const bool listed = index >= 0 && index < static_cast<int>(state_->Items.size());
    return listed ? state_->Items[static_cast<std::size_t>(index)] : std::string();
  }
  void SetChecked(bool checked) override { state_->Checked = checked; }
  bool IsChecked() const override { return state_->Checked; }

 private:
  std::shared_ptr<HeadlessControl> state_;
};

// --- windows ---

class HeadlessBackend::NativeWindowImpl : public forms::NativeWindow {
 public:
  NativeWindowImpl(HeadlessBackend& backend, forms::WindowId id) : backend_(backend), id_(id) {}
  ~NativeWindowImpl() override { backend_.windows_.erase(id_); }

  forms::WindowId Id() const override { return id_; }
  void SetCaption(std::string_view caption) override { State().Caption = caption; }
  void SetBounds(const forms::PixelRect& bounds) override { State().Bounds = bounds; }
  void KeepAboveOthers() override { State().AboveOthers = true; }
  forms::PixelRect EmbedIn(forms::WindowId host) override {
    State().Host = host;
    const auto pane = backend_.windows_.find(host);
    if (pane != backend_.windows_.end()) {
      State().Bounds = {0, 0, pane->second.Bounds.Width(), pane->second.Bounds.Height()};
    }
    return {0, 0, State().Bounds.Width(), State().Bounds.Height()};
  }
  forms::PixelRect OuterBounds(const forms::PixelRect& client) const override { return client; }
  void Show() override { State().Visible = true; }
  void Invalidate(const forms::PixelRect& area) override {
    std::vector<forms::PixelRect>& areas = State().Invalidated;
    // As a system's update region does, areas nobody paints merge rather than pile up: a roll
    // played for days without painting (the checker's timeline) keeps a bounded list.
    if (areas.size() >= kMaxInvalidatedAreas) {
      forms::PixelRect all;
      for (const forms::PixelRect& kept : areas) all = all.Union(kept);
      areas.assign(1, all);
    }
    areas.push_back(area);
  }
  std::unique_ptr<forms::NativeControl> CreateControl(const forms::ControlProperties& properties,
                                                      forms::ControlEvents& events) override {
    auto control = std::make_shared<HeadlessControl>(HeadlessControl{properties, &events, {}, -1});
    State().Controls.push_back(control);
    return std::make_unique<NativeControlImpl>(control);
  }

 private:
  HeadlessWindow& State() { return backend_.windows_.at(id_); }

  HeadlessBackend& backend_;
  forms::WindowId id_;
};

// --- timers and frames ---

constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

class HeadlessBackend::TimerImpl : public forms::TimerDriver {
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

class HeadlessBackend::FrameImpl : public forms::FrameDriver {
 public:
  FrameImpl(HeadlessBackend& backend, std::function<void(std::int64_t)> onFrame)
      : backend_(backend), onFrame_(std::move(onFrame)) {
    backend_.frames_.push_back(this);
  }
  ~FrameImpl() override { std::erase(backend_.frames_, this); }

  void Start() override { schedule_.Start(backend_.ClockNow(), backend_.screen_.RefreshHz); }
  void Stop() override { schedule_.Stop(); }

  std::int64_t Due() const { return schedule_.Running() ? schedule_.Due().count() : kNever; }
  void Frame() {
    schedule_.TakeFrame(backend_.ClockNow());
    onFrame_(backend_.now_);
  }

 private:
  HeadlessBackend& backend_;
  platform::DriverHandler<std::int64_t> onFrame_;
  platform::FrameSchedule schedule_;
};

// --- the backend ---

HeadlessBackend::HeadlessBackend() = default;

HeadlessBackend::~HeadlessBackend() = default;

std::unique_ptr<forms::NativeWindow> HeadlessBackend::CreateNativeWindow(
    forms::WindowEvents& events, const forms::WindowStyle& style, std::string_view caption) {
  const forms::WindowId id = nextId_++;
  HeadlessWindow& window = windows_[id];
  window.Id = id;
  window.Caption = caption;
  window.Style = style;
  window.Events = &events;
  return std::make_unique<NativeWindowImpl>(*this, id);
}

std::unique_ptr<forms::TimerDriver> HeadlessBackend::CreateTimer(std::function<void()> onTick) {
  return std::make_unique<TimerImpl>(*this, std::move(onTick));
}

std::unique_ptr<forms::FrameDriver> HeadlessBackend::CreateFrameDriver(
    std::function<void(std::int64_t nowUs)> onFrame) {
  return std::make_unique<FrameImpl>(*this, std::move(onFrame));
}

forms::TextExtent HeadlessBackend::MeasureText(const forms::FontSpec& font, std::string_view text) {
  return metrics_ ? metrics_(font, text) : DefaultMetrics(font, text, screen_.DpiY);
}

std::unique_ptr<forms::TextImage> HeadlessBackend::CreateTextImage(const forms::FontSpec& font,
                                                                   std::string_view text,
                                                                   forms::TextImageSpan span,
                                                                   Color color, Color background) {
  ++textImagesMade_;
  return std::make_unique<HeadlessTextImage>(font, std::string(text), span, color, background);
}

void HeadlessBackend::ActivateOwnerOf(forms::WindowId host) {
  const auto owner = owners_.find(host);
  activated_ = owner == owners_.end() ? 0 : owner->second;
}

bool HeadlessBackend::FindRunningCopy(std::span<const std::string_view> captions) {
  ++runningCopySearches_;
  return std::any_of(windows_.begin(), windows_.end(), [&](const auto& entry) {
    return std::find(captions.begin(), captions.end(), entry.second.Caption) != captions.end();
  });
}

std::unique_ptr<forms::RunningCopyLock> HeadlessBackend::ClaimRunningCopyLock() {
  class HeldLock : public forms::RunningCopyLock {
   public:
    explicit HeldLock(bool& held) : held_(held) { held_ = true; }
    ~HeldLock() override { held_ = false; }

   private:
    bool& held_;
  };
  if (runningCopyLockHeld_) return nullptr;
  return std::make_unique<HeldLock>(runningCopyLockHeld_);
}

void HeadlessBackend::SetScreen(const forms::ScreenMetrics& screen) {
  screen_ = screen;
  DeliverToEachWindow(&forms::WindowEvents::OnDisplayChanged);
}

void HeadlessBackend::DoEvents() {
  if (observeEvents_) observeEvents_();
  while (!queued_.empty()) {
    const std::function<void()> event = std::move(queued_.front());
    queued_.pop_front();
    event();
  }
}

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

void HeadlessBackend::DeliverToEachWindow(void (forms::WindowEvents::*event)()) {
  std::vector<forms::WindowId> ids;
  for (const auto& [id, window] : windows_) ids.push_back(id);
  for (const forms::WindowId id : ids) {
    Deliver([&] {
      const auto it = windows_.find(id);
      if (it != windows_.end()) (it->second.Events->*event)();
    });
  }
}

void HeadlessBackend::Click(forms::WindowId window, int x, int y, forms::MouseButton button) {
  MouseDown(window, button, x, y);
  MouseUp(window, button, x, y);
}

void HeadlessBackend::MouseDown(forms::WindowId window, forms::MouseButton button, int x, int y) {
  Deliver([&] { windows_.at(window).Events->OnPointerButtonDown(button, x, y); });
}

void HeadlessBackend::MouseUp(forms::WindowId window, forms::MouseButton button, int x, int y) {
  Deliver([&] { windows_.at(window).Events->OnPointerButtonUp(button, x, y); });
}

void HeadlessBackend::ActivateOtherProgram() {
  DeliverToEachWindow(&forms::WindowEvents::OnActivatedElsewhere);
}

void HeadlessBackend::RequestMinimize(forms::WindowId window) {
  if (windows_.at(window).Style.Border != forms::BorderStyle::None) Minimize(window);
}

void HeadlessBackend::Minimize(forms::WindowId window) {
  Deliver([&] { windows_.at(window).Events->OnMinimizedBySystem(); });
}

void HeadlessBackend::KeyDown(forms::WindowId window) {
  Deliver([&] { windows_.at(window).Events->OnKeyDown(); });
}

void HeadlessBackend::ChooseListEntry(forms::WindowId window, int index) {
  for (const auto& control : windows_.at(window).Controls) {
    if (control->Properties.Kind != forms::ControlKind::DropDownList || !control->Events) continue;
    control->Selected = index;
    return;
  }
}

void HeadlessBackend::ToggleCheckBox(forms::WindowId window, std::string_view caption) {
  for (const auto& control : windows_.at(window).Controls) {
    if (control->Properties.Kind != forms::ControlKind::CheckBox ||
        control->Properties.Caption != caption || !control->Events) {
      continue;
    }
    control->Checked = !control->Checked;
    return;
  }
}

void HeadlessBackend::PressButton(forms::WindowId window, std::string_view caption) {
  for (const auto& control : windows_.at(window).Controls) {
    if (control->Properties.Caption != caption || !control->Events) continue;
    forms::ControlEvents* events = control->Events;
    Deliver([events] { events->OnControlClick(); });
    return;
  }
}

void HeadlessBackend::PressEnter(forms::WindowId window) {
  for (const auto& control : windows_.at(window).Controls) {
    if (control->Properties.IsDefault) return PressButton(window, control->Properties.Caption);
  }
}

void HeadlessBackend::PressEscape(forms::WindowId window) {
  for (const auto& control : windows_.at(window).Controls) {
    if (control->Properties.IsCancel) return PressButton(window, control->Properties.Caption);
  }
}

void HeadlessBackend::DestroyWindow(forms::WindowId window) {
  forms::WindowEvents* events = windows_.at(window).Events;
  Deliver([events] { events->OnDestroyedBySystem(); });
}

const HeadlessWindow* HeadlessBackend::Window(forms::WindowId id) const {
  const auto it = windows_.find(id);
  return it == windows_.end() ? nullptr : &it->second;
}

std::vector<const HeadlessWindow*> HeadlessBackend::Windows() const {
  std::vector<const HeadlessWindow*> all;
  for (const auto& [id, window] : windows_) all.push_back(&window);
  return all;
}

void HeadlessBackend::PaintInvalidated(forms::WindowId id, forms::Canvas& canvas) {
  HeadlessWindow& window = windows_.at(id);
  std::vector<forms::PixelRect> areas = std::move(window.Invalidated);
  window.Invalidated.clear();
  for (const forms::PixelRect& area : areas) window.Events->OnPaint(canvas, area);
}

}  // namespace velloway::headless
