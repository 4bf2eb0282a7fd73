#include "platform/x11/x11_backend.h"

#include "platform/driver_handler.h"
#include "platform/posix/end_signals.h"
#include "platform/posix/lock_file.h"
#include "platform/tick_schedule.h"
#include "platform/x11/screen_dpi.h"
#include "platform/x11/x11_window.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <poll.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <utility>

namespace velloway::x11 {
namespace {

// The ordinary window of StageKind::OwnWindow, before the user sizes it.
constexpr unsigned kOwnWindowWidth = 960;
constexpr unsigned kOwnWindowHeight = 540;

// Windows vanish under a program (the daemon's when it deactivates): requests on them fail, and
// the program learns of it from DestroyNotify. Xlib's default handler would exit at once.
int IgnoreXError(Display*, XErrorEvent*) {
  return 0;
}

std::optional<::Window> HostFromEnvironment() {
  const char* value = std::getenv("XSCREENSAVER_WINDOW");
  if (value == nullptr || *value == '\0') return std::nullopt;
  const std::optional<std::uint32_t> id = ParseWindowId(value);
  if (!id) return std::nullopt;
  return static_cast<::Window>(*id);
}

// The primary output's mode: its pixel clock over the pixels of a whole frame.
std::optional<int> PrimaryRefreshHz(Display* display, ::Window root) {
  XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
  if (resources == nullptr) return std::nullopt;
  std::optional<int> hz;
  RROutput output = XRRGetOutputPrimary(display, root);
  if (output == 0 && resources->noutput > 0) output = resources->outputs[0];
  if (XRROutputInfo* info = output != 0 ? XRRGetOutputInfo(display, resources, output) : nullptr) {
    if (XRRCrtcInfo* crtc =
            info->crtc != 0 ? XRRGetCrtcInfo(display, resources, info->crtc) : nullptr) {
      for (int i = 0; i < resources->nmode; ++i) {
        const XRRModeInfo& mode = resources->modes[i];
        if (mode.id != crtc->mode || mode.hTotal == 0 || mode.vTotal == 0) continue;
        const double rate = static_cast<double>(mode.dotClock) /
                            (static_cast<double>(mode.hTotal) * static_cast<double>(mode.vTotal));
        if (rate > 1) hz = static_cast<int>(std::lround(rate));
      }
      XRRFreeCrtcInfo(crtc);
    }
    XRRFreeOutputInfo(info);
  }
  XRRFreeScreenResources(resources);
  return hz;
}

// The monotonic clock, as the schedules read it.
platform::ClockTime MonotonicTime() {
  return std::chrono::duration_cast<platform::ClockTime>(
      std::chrono::steady_clock::now().time_since_epoch());
}

std::string DisplayName() {
  const char* display = std::getenv("DISPLAY");
  return display != nullptr ? display : "";
}

}  // namespace

// Ticks from the event loop (or DoEvents), never inside another handler, on a TickSchedule.
class X11Timer final : public forms::TimerDriver {
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
class X11FrameDriver final : public forms::FrameDriver {
 public:
  X11FrameDriver(X11Backend& backend, std::function<void(std::int64_t)> onFrame)
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
    schedule_.TakeFrame(now);
    onFrame_(now.count());
  }

 private:
  X11Backend& backend_;
  platform::DriverHandler<std::int64_t> onFrame_;
  platform::FrameSchedule schedule_;
};

X11Backend::X11Backend(BackendSetup setup)
    : stage_(setup.Stage),
      scriptDirectory_(std::move(setup.ScriptDirectory)),
      codePage_(setup.CodePage),
      music_(DisplayName()) {
  display_ = XOpenDisplay(nullptr);
  if (display_ == nullptr)
    throw std::runtime_error("cannot open the X display \"" + DisplayName() + "\"");
  XSetErrorHandler(IgnoreXError);
  screen_ = DefaultScreen(display_);
  root_ = RootWindow(display_, screen_);
  deleteWindow_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
  switch (stage_) {
    case StageKind::FullScreen: {
      int errorBase = 0;
      if (XRRQueryExtension(display_, &randrEventBase_, &errorBase)) {
        XRRSelectInput(display_, root_, RRScreenChangeNotifyMask);
      } else {
        randrEventBase_ = -1;
      }
      XSelectInput(display_, root_, StructureNotifyMask);
      break;
    }
    case StageKind::Root:
      host_ = setup.Host != 0 ? setup.Host : HostFromEnvironment().value_or(root_);
      break;
    case StageKind::GivenWindow:
      host_ = setup.Host;
      break;
    case StageKind::OwnWindow:
      OpenOwnWindowHost();
      break;
  }
  if (OnHost()) WatchHost();
  ReadScreen();
  fonts_ = std::make_unique<XftFonts>(display_, screen_, metrics_->DpiY);
}

X11Backend::~X11Backend() {
  music_.Close();
  fonts_.reset();
  if (blankCursor_ != 0) XFreeCursor(display_, blankCursor_);
  if (ownHost_) XDestroyWindow(display_, host_);
  XCloseDisplay(display_);
}

void X11Backend::OpenOwnWindowHost() {
  XSetWindowAttributes attributes{};
  attributes.background_pixel = BlackPixel(display_, screen_);
  host_ = XCreateWindow(display_, root_, 0, 0, kOwnWindowWidth, kOwnWindowHeight, 0, CopyFromParent,
                        InputOutput, CopyFromParent, CWBackPixel, &attributes);
  ownHost_ = true;
  XStoreName(display_, host_, "Velloway");
  Atom protocols[] = {deleteWindow_};
  XSetWMProtocols(display_, host_, protocols, 1);
  XMapWindow(display_, host_);
}

void X11Backend::WatchHost() {
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display_, host_, &attributes)) {
    throw std::runtime_error("no window " + std::to_string(host_) + " to play in");
  }
  XSelectInput(display_, host_, attributes.your_event_mask | StructureNotifyMask);
}

std::optional<forms::WindowId> X11Backend::StageHost() const {
  if (!OnHost()) return std::nullopt;
  return static_cast<forms::WindowId>(host_);
}

std::unique_ptr<forms::NativeWindow> X11Backend::CreateNativeWindow(forms::WindowEvents& events,
                                                                    const forms::WindowStyle& style,
                                                                    std::string_view caption) {
  return std::make_unique<X11Window>(*this, events, style, caption);
}

std::unique_ptr<forms::TimerDriver> X11Backend::CreateTimer(std::function<void()> onTick) {
  return std::make_unique<X11Timer>(*this, std::move(onTick));
}

forms::TextExtent X11Backend::MeasureText(const forms::FontSpec& font, std::string_view text) {
  return fonts_->Measure(font, text);
}

std::unique_ptr<forms::TextImage> X11Backend::CreateTextImage(const forms::FontSpec& font,
                                                              std::string_view text,
                                                              forms::TextImageSpan span,
                                                              Color color, Color) {
  // Composited through its coverage, a line needs no background of its own.
  return X11TextImage::Draw(*this, font, text, span, color);
}

forms::ScreenMetrics X11Backend::Screen() {
  // The forms ask for every conversion of twips: the answer is kept until the screens change.
  if (!metrics_) ReadScreen();
  return *metrics_;
}

forms::PixelPoint X11Backend::Origin() {
  if (!metrics_) ReadScreen();
  return origin_;
}

void X11Backend::ReadScreen() {
  forms::ScreenMetrics metrics;
  const int dpi = ScreenDpi(XResourceManagerString(display_) != nullptr
                                ? std::optional<std::string_view>(XResourceManagerString(display_))
                                : std::nullopt,
                            DisplayHeight(display_, screen_), DisplayHeightMM(display_, screen_));
  metrics.DpiX = dpi;
  metrics.DpiY = dpi;
  origin_ = {};
  metrics.WidthPx = DisplayWidth(display_, screen_);
  metrics.HeightPx = DisplayHeight(display_, screen_);
  if (OnHost()) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display_, host_, &attributes)) {
      metrics.WidthPx = std::max(attributes.width, 1);
      metrics.HeightPx = std::max(attributes.height, 1);
    }
  } else if (randrEventBase_ >= 0) {
    int count = 0;
    XRRMonitorInfo* monitors = XRRGetMonitors(display_, root_, True, &count);
    if (monitors != nullptr && count > 0) {
      const auto primary = std::find_if(monitors, monitors + count,
                                        [](const XRRMonitorInfo& m) { return m.primary != 0; });
      const XRRMonitorInfo& first = primary != monitors + count ? *primary : monitors[0];
      origin_ = {first.x, first.y};
      metrics.WidthPx = first.width;
      metrics.HeightPx = first.height;
      for (int i = 0; i < count; ++i) {
        const XRRMonitorInfo& m = monitors[i];
        if (&m == &first) continue;
        const int left = m.x - first.x;
        const int top = m.y - first.y;
        // X has one resolution for its fonts (Xft.dpi), whichever monitor shows them.
        metrics.OtherMonitors.push_back({{left, top, left + m.width, top + m.height}, dpi, dpi});
      }
    }
    if (monitors != nullptr) XRRFreeMonitors(monitors);
  }
  if (randrEventBase_ >= 0) metrics.RefreshHz = PrimaryRefreshHz(display_, root_).value_or(60);
  metrics_ = metrics;
}

std::optional<forms::PixelPoint> X11Backend::PointerPosition() {
  if (OnHost()) return std::nullopt;
  ::Window root = 0;
  ::Window child = 0;
  int x = 0;
  int y = 0;
  int windowX = 0;
  int windowY = 0;
  unsigned buttons = 0;
  if (!XQueryPointer(display_, root_, &root, &child, &x, &y, &windowX, &windowY, &buttons)) {
    return std::nullopt;  // on another screen of the display
  }
  const forms::PixelPoint origin = Origin();
  return forms::PixelPoint{x - origin.X, y - origin.Y};
}

bool X11Backend::HostExists(forms::WindowId host) {
  const auto window = static_cast<::Window>(host);
  XWindowAttributes attributes{};
  return window != root_ && XGetWindowAttributes(display_, window, &attributes) != 0;
}

void X11Backend::ActivateOwnerOf(forms::WindowId host) {
  // The host's top-level window, then the window it is transient for.
  auto window = static_cast<::Window>(host);
  for (;;) {
    ::Window root = 0;
    ::Window parent = 0;
    ::Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display_, window, &root, &parent, &children, &count)) return;
    if (children != nullptr) XFree(children);
    if (parent == root || parent == 0) break;
    window = parent;
  }
  ::Window owner = 0;
  if (!XGetTransientForHint(display_, window, &owner) || owner == 0) return;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = owner;
  event.xclient.message_type = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = 2;  // from a pager-like request: honoured at once
  XSendEvent(display_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XFlush(display_);
}

bool X11Backend::FindRunningCopy(std::span<const std::string_view> captions) {
  // The top-level windows and, below a window manager, the windows inside its frames.
  const auto named = [&](::Window window) {
    char* name = nullptr;
    if (!XFetchName(display_, window, &name) || name == nullptr) return false;
    const std::string_view text(name);
    const bool found = std::find(captions.begin(), captions.end(), text) != captions.end();
    XFree(name);
    return found;
  };
  const auto children = [&](::Window window) {
    ::Window root = 0;
    ::Window parent = 0;
    ::Window* list = nullptr;
    unsigned count = 0;
    std::vector<::Window> found;
    if (XQueryTree(display_, window, &root, &parent, &list, &count) && list != nullptr) {
      found.assign(list, list + count);
      XFree(list);
    }
    return found;
  };
  for (const ::Window top : children(root_)) {
    if (named(top)) return true;
    for (const ::Window inner : children(top)) {
      if (named(inner)) return true;
    }
  }
  return false;
}

std::unique_ptr<forms::RunningCopyLock> X11Backend::ClaimRunningCopyLock() {
  return posix::ClaimLockFile(DisplayName());
}

Cursor X11Backend::BlankCursor() {
  if (blankCursor_ == 0) {
    const char empty = 0;
    const Pixmap bitmap = XCreateBitmapFromData(display_, root_, &empty, 1, 1);
    XColor black{};
    blankCursor_ = XCreatePixmapCursor(display_, bitmap, bitmap, &black, &black, 0, 0);
    XFreePixmap(display_, bitmap);
  }
  return blankCursor_;
}

void X11Backend::AddWindow(::Window id, X11Window& window) {
  windows_[id] = &window;
}

void X11Backend::RemoveWindow(::Window id) {
  windows_.erase(id);
}

void X11Backend::RemoveTimer(X11Timer& timer) {
  std::erase(timers_, &timer);
}

void X11Backend::ScreensChanged() {
  metrics_.reset();
  // A window destroyed meanwhile hears nothing more.
  std::vector<::Window> ids;
  for (const auto& [id, window] : windows_) ids.push_back(id);
  for (const ::Window id : ids) {
    const auto found = windows_.find(id);
    if (found == windows_.end()) continue;
    found->second->ScreensChanged();
  }
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
  const platform::ClockTime now = MonotonicTime();
  // Each due timer ticks once; one that a handler destroys meanwhile does not.
  std::vector<X11Timer*> due;
  for (X11Timer* timer : timers_) {
    if (timer->Schedule().DueBy(now)) due.push_back(timer);
  }
  for (X11Timer* timer : due) {
    if (std::find(timers_.begin(), timers_.end(), timer) != timers_.end() &&
        timer->Schedule().DueBy(now)) {
      timer->Tick(MonotonicTime());
    }
  }
}

void X11Backend::RunDueFrames() {
  const platform::ClockTime now = MonotonicTime();
  std::vector<X11FrameDriver*> due;
  for (X11FrameDriver* driver : frameDrivers_) {
    if (driver->Schedule().DueBy(now)) due.push_back(driver);
  }
  for (X11FrameDriver* driver : due) {
    if (std::find(frameDrivers_.begin(), frameDrivers_.end(), driver) != frameDrivers_.end()) {
      driver->Frame(now);
    }
  }
}

std::unique_ptr<forms::FrameDriver> X11Backend::CreateFrameDriver(
    std::function<void(std::int64_t nowUs)> onFrame) {
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

void X11Backend::DoEvents() {
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

void X11Backend::End() {
  music_.Close();
  XCloseDisplay(display_);
  std::_Exit(0);
}

}  // namespace velloway::x11
