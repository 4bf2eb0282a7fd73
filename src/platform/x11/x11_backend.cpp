#include "platform/x11/x11_backend.h"

#include "platform/x11/x11_errors.h"
#include "platform/x11/x11_window.h"

#include <X11/Xatom.h>
#include <X11/extensions/Xrandr.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <utility>

namespace velloway::x11 {
namespace {

// The ordinary window of platform::StageKind::OwnWindow, before the user sizes it.
constexpr unsigned kOwnWindowWidth = 960;
constexpr unsigned kOwnWindowHeight = 540;

std::string DisplayName() {
  const char* display = std::getenv("DISPLAY");
  return display != nullptr ? display : "";
}

}  // namespace

X11Backend::X11Backend(BackendSetup setup)
    : stage_(setup.Stage),
      scriptDirectory_(std::move(setup.ScriptDirectory)),
      codePage_(setup.CodePage),
      music_(DisplayName()) {
  display_ = XOpenDisplay(nullptr);
  if (display_ == nullptr)
    throw std::runtime_error("cannot open the X display \"" + DisplayName() + "\"");
  LetErrorsPass();
  screen_ = DefaultScreen(display_);
  root_ = RootWindow(display_, screen_);
  deleteWindow_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
  switch (stage_) {
    case platform::StageKind::FullScreen: {
      int errorBase = 0;
      if (XRRQueryExtension(display_, &randrEventBase_, &errorBase)) {
        XRRSelectInput(display_, root_, RRScreenChangeNotifyMask);
      } else {
        randrEventBase_ = -1;
      }
      XSelectInput(display_, root_, StructureNotifyMask);
      break;
    }
    case platform::StageKind::Root:
      host_ = setup.Host != 0 ? setup.Host : root_;
      break;
    case platform::StageKind::GivenWindow:
      host_ = setup.Host;
      break;
    case platform::StageKind::OwnWindow:
      OpenOwnWindowHost();
      break;
  }
  if (OnHost()) WatchHost();
  ReadScreen();
  text_ = std::make_unique<posix::PangoText>(metrics_->DpiY);
}

X11Backend::~X11Backend() {
  music_.Close();
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

std::optional<platform::WindowId> X11Backend::StageHost() const {
  if (!OnHost()) return std::nullopt;
  return static_cast<platform::WindowId>(host_);
}

std::unique_ptr<platform::NativeWindow> X11Backend::CreateNativeWindow(
    platform::WindowEvents& events, const platform::WindowStyle& style, std::string_view caption) {
  return std::make_unique<X11Window>(*this, events, style, caption);
}

platform::TextExtent X11Backend::MeasureText(const platform::FontSpec& font,
                                             std::string_view text) {
  return text_->Measure(font, text);
}

platform::PhaseImages X11Backend::CreateTextImages(const platform::FontSpec& font,
                                                   std::string_view text,
                                                   platform::TextImageSpan span,
                                                   platform::PhaseSet phases, Color color, Color) {
  // Composited over whatever lies beneath, a line needs no background of its own.
  return posix::EachWrapped(
      text_->Draw(font, text, span, phases, color),
      [&](posix::LineImage drawn) { return X11TextImage::Put(*this, drawn, color); });
}

std::optional<platform::PixelPoint> X11Backend::PointerPosition() {
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
  const platform::PixelPoint origin = Origin();
  return platform::PixelPoint{x - origin.X, y - origin.Y};
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

void X11Backend::End() {
  music_.Close();
  loop_.Stop(0);
}

}  // namespace velloway::x11
