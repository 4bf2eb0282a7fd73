#include "platform/x11/x11_backend.h"

#include "platform/x11/x11_window.h"

#include <X11/extensions/Xrandr.h>
#include <poll.h>

#include <utility>
#include <vector>

// The X connection in the shared event loop: its events, and the windows' painting.
namespace velloway::x11 {

std::unique_ptr<platform::TimerDriver> X11Backend::CreateTimer(std::function<void()> onTick) {
  return loop_.CreateTimer(std::move(onTick));
}

std::unique_ptr<platform::FrameDriver> X11Backend::CreateFrameDriver(
    std::function<void(const platform::DisplayFrame&)> onFrame) {
  return loop_.CreateFrameDriver(std::move(onFrame));
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

void X11Backend::PaintWindows() {
  std::vector<X11Window*> windows;
  for (const auto& [id, window] : windows_) windows.push_back(window);
  for (X11Window* window : windows) window->PaintInvalidated();
}

int X11Backend::Fd() const {
  return ConnectionNumber(display_);
}

void X11Backend::HandleEvents() {
  while (XPending(display_) > 0) {
    XEvent event{};
    XNextEvent(display_, &event);
    HandleEvent(event);
  }
}

void X11Backend::Paint() {
  PaintWindows();
  XFlush(display_);
}

// Xlib may have read events meanwhile; they would not wake the wait.
bool X11Backend::ReadyToWait() {
  return XPending(display_) == 0;
}

bool X11Backend::AfterWait(short revents) {
  return (revents & (POLLERR | POLLHUP)) == 0;  // the server is gone
}

void X11Backend::RunWaitingEvents() {
  loop_.RunWaitingEvents(*this);
}

int X11Backend::RunEventLoop() {
  return loop_.Run(*this);
}

}  // namespace velloway::x11
