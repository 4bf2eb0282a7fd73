#include "platform/headless/headless_backend.h"

// What a test drives: the simulated clock, the events a user or the system would cause, and what
// the program drew.
namespace velloway::headless {
namespace {

// Thrown by End() and caught where the event that ended the program was delivered.
struct ProgramEnded {};

}  // namespace

// --- the simulated clock ---

void HeadlessBackend::AdvanceTime(std::int64_t milliseconds) {
  AdvanceTimeUs(milliseconds * 1000);
}

// A tick or frame that ends the program stops the clock where it ran.
void HeadlessBackend::AdvanceTimeUs(std::int64_t microseconds) {
  Deliver([&] { clock_.Advance(microseconds); });
}

// --- events ---

void HeadlessBackend::End() {
  clock_.Stop();
  throw ProgramEnded{};
}

void HeadlessBackend::Deliver(const std::function<void()>& event) {
  if (clock_.Stopped()) return;
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
