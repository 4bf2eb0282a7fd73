#include <poll.h>
#include <wayland-client.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/wayland/wayland_backend.h"
#include "platform/wayland/wayland_output.h"
#include "platform/wayland/wayland_seat.h"
#include "platform/wayland/wayland_window.h"
#include "platform/wayland/window_host.h"

// The compositor's connection in the shared event loop: what its listeners noted, handed to the
// windows; the windows' painting; the input.
namespace velloway::wayland {

std::unique_ptr<platform::TimerDriver> WaylandBackend::CreateTimer(std::function<void()> onTick) {
  return loop_.CreateTimer(std::move(onTick));
}

std::unique_ptr<platform::FrameDriver> WaylandBackend::CreateFrameDriver(
    std::function<void(const platform::DisplayFrame&)> onFrame) {
  return pacer_.CreateDriver(std::move(onFrame));
}

int WaylandBackend::Fd() const {
  return wl_display_get_fd(display_.get());
}

void WaylandBackend::Lose() {
  if (lost_) return;
  const int error = wl_display_get_error(display_.get());
  const wl_interface* interface = nullptr;
  std::uint32_t id = 0;
  if (error == EPROTO) {
    const std::uint32_t code = wl_display_get_protocol_error(display_.get(), &interface, &id);
    lost_ = "the Wayland compositor refused a request (error " + std::to_string(code) + " on " +
            (interface != nullptr ? interface->name : "an object") + ")";
  } else {
    lost_ =
        std::string("lost the Wayland compositor: ") + std::strerror(error != 0 ? error : EPIPE);
  }
}

void WaylandBackend::HandleEvents() {
  // What has come, read without waiting, as the X11 backend's XPending reads it.
  if (!lost_ && wl_display_prepare_read(display_.get()) == 0) {
    pollfd ready{Fd(), POLLIN, 0};
    if (poll(&ready, 1, 0) > 0 && (ready.revents & POLLIN) != 0) {
      if (wl_display_read_events(display_.get()) < 0) Lose();
    } else {
      wl_display_cancel_read(display_.get());
    }
  }
  if (!lost_ && wl_display_dispatch_pending(display_.get()) < 0) Lose();
  if (lost_) loop_.Stop(1);
  Deliver();
}

void WaylandBackend::Deliver() {
  // An event may post more, or end the program.
  while (!posted_.empty()) {
    std::vector<std::function<void()>> events = std::exchange(posted_, {});
    for (const auto& event : events) event();
  }
}

void WaylandBackend::Paint() {
  if (host_) host_->Paint();
  WaylandWindow* pacing = pacer_.WantsWord() ? PacingWindow() : nullptr;
  for (const auto& [id, window] : windows_) window->Paint(window == pacing);
}

WaylandWindow* WaylandBackend::PacingWindow() const {
  // The newest: the one that shows the roll when a watched script starts it again.
  for (auto window = windows_.rbegin(); window != windows_.rend(); ++window) {
    if (window->second->Paces()) return window->second;
  }
  return nullptr;
}

bool WaylandBackend::ReadyToWait() {
  // Events read meanwhile would not wake the wait: they are handled first.
  if (wl_display_prepare_read(display_.get()) != 0) return false;
  readPrepared_ = true;
  if (wl_display_flush(display_.get()) < 0 && errno != EAGAIN) {
    Lose();
    wl_display_cancel_read(display_.get());
    readPrepared_ = false;
  }
  return true;
}

bool WaylandBackend::AfterWait(short revents) {
  if (std::exchange(readPrepared_, false)) {
    if ((revents & POLLIN) != 0) {
      if (wl_display_read_events(display_.get()) < 0) Lose();
    } else {
      wl_display_cancel_read(display_.get());
    }
  }
  if ((revents & (POLLERR | POLLHUP)) != 0) Lose();
  return !lost_;
}

void WaylandBackend::RunWaitingEvents() {
  loop_.RunWaitingEvents(*this);
}

int WaylandBackend::RunEventLoop() {
  const int status = loop_.Run(*this);
  if (lost_) throw std::runtime_error(*lost_);
  return status;
}

void WaylandBackend::KeyDown(wl_surface* surface) {
  // In an ordinary window the keys are the user's, as on an X11 host.
  const WaylandWindow* window = FullScreen() ? WindowOf(surface) : nullptr;
  if (window == nullptr) return;
  Post([this, id = window->Id()] {
    if (WaylandWindow* found = WindowOf(id)) found->Events().OnKeyDown();
  });
}

void WaylandBackend::KeyboardLeft(wl_surface* surface) {
  const WaylandWindow* window = FullScreen() ? WindowOf(surface) : nullptr;
  if (window == nullptr) return;
  // Handed on once the events that came with it are read: a keyboard that moves to another of
  // the program's windows stays with the program.
  Post([this, id = window->Id()] {
    if (seat_ && WindowOf(seat_->KeyboardFocus()) != nullptr) return;
    if (WaylandWindow* found = WindowOf(id)) found->Events().OnActivatedElsewhere();
  });
}

void WaylandBackend::Button(wl_surface* surface, platform::MouseButton button, bool down) {
  const WaylandWindow* window = FullScreen() ? WindowOf(surface) : nullptr;
  if (window == nullptr) return;
  Post([this, id = window->Id(), button, down, at = pointerInWindow_] {
    WaylandWindow* found = WindowOf(id);
    if (found == nullptr) return;
    if (down) {
      found->Events().OnPointerButtonDown(button, at.X, at.Y);
    } else {
      found->Events().OnPointerButtonUp(button, at.X, at.Y);
    }
  });
}

void WaylandBackend::CloseHost() {
  // Its windows go with it, as the children of a destroyed X11 window: each form hears it last.
  std::vector<platform::WindowId> inside;
  for (const auto& [id, window] : windows_) {
    if (window->Embedded()) inside.push_back(id);
  }
  for (const platform::WindowId id : inside) {
    if (WaylandWindow* window = WindowOf(id)) window->Close();
  }
}

}  // namespace velloway::wayland
