#include "platform/x11/x11_idle.h"

#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>
#include <poll.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "platform/x11/x11_errors.h"

namespace velloway::x11 {
namespace {

struct DisplayCloser {
  void operator()(Display* display) const { XCloseDisplay(display); }
};
struct XFreeDeleter {
  void operator()(void* data) const { XFree(data); }
};
using OwnedDisplay = std::unique_ptr<Display, DisplayCloser>;

// Whether xscreensaver's daemon runs on the display: it marks a window of its own below the root
// window with its version, where its commands find it.
bool XScreenSaverRuns(Display* display) {
  const Atom version = XInternAtom(display, "_SCREENSAVER_VERSION", True);
  if (version == 0) return false;
  ::Window root = 0;
  ::Window parent = 0;
  ::Window* children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
    return false;
  }
  const std::unique_ptr<::Window, XFreeDeleter> owned(children);
  for (unsigned i = 0; i < count; ++i) {
    Atom type = 0;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* value = nullptr;
    // A window gone meanwhile fails quietly, and has no such property.
    if (XGetWindowProperty(display, children[i], version, 0, 0, False, AnyPropertyType, &type,
                           &format, &items, &after, &value) == Success) {
      if (value != nullptr) XFree(value);
      if (type != 0) return true;
    }
  }
  return false;
}

class ServerIdle final : public posix::IdleSource {
 public:
  explicit ServerIdle(OwnedDisplay display)
      : display_(std::move(display)), info_(XScreenSaverAllocInfo()) {}

  std::string_view Name() const override { return "MIT-SCREEN-SAVER"; }

  std::optional<std::chrono::milliseconds> IdleTime() override {
    if (!XScreenSaverQueryInfo(display_.get(), DefaultRootWindow(display_.get()), info_.get())) {
      throw posix::IdleSourceLost("the X server tells no idle time");
    }
    return std::chrono::milliseconds(info_->idle);
  }

  // Asked each time: nothing to forget.
  void Renew() override {}

  // Polled only to learn of the server's end; the events that come to every client (a keyboard
  // mapped anew) are let go.
  int Fd() const override { return ConnectionNumber(display_.get()); }

  bool ReadyToWait() override {
    while (XPending(display_.get()) > 0) {
      XEvent event{};
      XNextEvent(display_.get(), &event);
    }
    return true;
  }

  void AfterWait(short revents) override {
    if ((revents & (POLLERR | POLLHUP)) != 0) {
      throw posix::IdleSourceLost("the X server \"" + std::string(DisplayString(display_.get())) +
                                  "\" is gone");
    }
  }

 private:
  OwnedDisplay display_;
  std::unique_ptr<XScreenSaverInfo, XFreeDeleter> info_;
};

}  // namespace

posix::IdleOffer OfferServerIdle() {
  OwnedDisplay display(XOpenDisplay(nullptr));
  if (!display) return {};
  LetErrorsPass();
  int eventBase = 0;
  int errorBase = 0;
  if (!XScreenSaverQueryExtension(display.get(), &eventBase, &errorBase)) return {true, nullptr};
  if (XScreenSaverRuns(display.get())) {
    throw std::runtime_error(
        "xscreensaver runs on this display and starts its hacks itself: list \"velloway --root\" "
        "among its programs in ~/.xscreensaver instead of using --when-idle");
  }
  return {true, std::make_unique<ServerIdle>(std::move(display))};
}

}  // namespace velloway::x11
