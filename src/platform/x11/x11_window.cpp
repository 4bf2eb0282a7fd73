#include "platform/x11/x11_window.h"

#include "platform/x11/x11_backend.h"

#include <X11/Xatom.h>

#include <algorithm>
#include <bit>
#include <string>
#include <utility>

namespace velloway::x11 {
namespace {

constexpr long kDrawingEvents = ExposureMask | StructureNotifyMask | VisibilityChangeMask;
constexpr long kInputEvents = ButtonPressMask | ButtonReleaseMask | KeyPressMask;

XRenderColor ToRenderColor(velloway::Color color) {
  const Channels channels = ChannelsOf(color);
  const auto channel = [](std::uint8_t byte) { return static_cast<unsigned short>(byte * 257); };
  return {channel(channels.Red), channel(channels.Green), channel(channels.Blue), 0xFFFF};
}

// One Xft colour for the time it is drawn with.
class ScopedColor {
 public:
  ScopedColor(Display* display, Visual* visual, Colormap colormap, velloway::Color color)
      : display_(display), visual_(visual), colormap_(colormap) {
    const XRenderColor render = ToRenderColor(color);
    allocated_ = XftColorAllocValue(display, visual, colormap, &render, &color_);
  }
  ~ScopedColor() {
    if (allocated_) XftColorFree(display_, visual_, colormap_, &color_);
  }
  ScopedColor(const ScopedColor&) = delete;
  ScopedColor& operator=(const ScopedColor&) = delete;
  const XftColor* Get() const { return allocated_ ? &color_ : nullptr; }

 private:
  Display* display_;
  Visual* visual_;
  Colormap colormap_;
  XftColor color_{};
  bool allocated_ = false;
};

class XftCanvas final : public platform::Canvas {
 public:
  XftCanvas(Display* display, XftDraw* draw) : display_(display), draw_(draw) {}
  void FillRect(const platform::PixelRect& rect, velloway::Color color) override {
    if (rect.IsEmpty()) return;
    const ScopedColor fill = Color(color);
    if (fill.Get() == nullptr) return;
    XftDrawRect(draw_, fill.Get(), rect.Left, rect.Top, static_cast<unsigned>(rect.Width()),
                static_cast<unsigned>(rect.Height()));
  }
  void DrawImage(const platform::TextImage& image, int x, int y) override {
    // This backend's canvases only ever get this backend's images.
    static_cast<const X11TextImage&>(image).Composite(XftDrawPicture(draw_), x, y);
  }

 private:
  ScopedColor Color(velloway::Color color) const {
    return ScopedColor(display_, XftDrawVisual(draw_), XftDrawColormap(draw_), color);
  }

  Display* display_;
  XftDraw* draw_;
};

std::optional<platform::MouseButton> ToMouseButton(unsigned button) {
  switch (button) {
    case Button1:
      return platform::MouseButton::Left;
    case Button2:
      return platform::MouseButton::Middle;
    case Button3:
      return platform::MouseButton::Right;
    case 8:
      return platform::MouseButton::X1;
    case 9:
      return platform::MouseButton::X2;
    default:
      return std::nullopt;  // 4 to 7 are the wheel's steps, no buttons
  }
}

}  // namespace

std::unique_ptr<X11TextImage> X11TextImage::Put(X11Backend& backend, const posix::LineImage& drawn,
                                                Color color) {
  const bool coverage = cairo_image_surface_get_format(drawn.get()) == CAIRO_FORMAT_A8;
  Display* display = backend.Dpy();
  XRenderPictFormat* format =
      XRenderFindStandardFormat(display, coverage ? PictStandardA8 : PictStandardARGB32);
  if (format == nullptr) return nullptr;
  const int width = cairo_image_surface_get_width(drawn.get());
  const int height = cairo_image_surface_get_height(drawn.get());
  const int depth = coverage ? 8 : 32;
  XImage image{};
  image.width = width;
  image.height = height;
  image.format = ZPixmap;
  image.data = reinterpret_cast<char*>(cairo_image_surface_get_data(drawn.get()));
  // Cairo's pixels are 32-bit words in this machine's order; Xlib swaps them where the server's
  // differs.
  image.byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
  image.bitmap_unit = 32;
  image.bitmap_bit_order = MSBFirst;
  image.bitmap_pad = 32;
  image.depth = depth;
  image.bits_per_pixel = depth;
  image.bytes_per_line = cairo_image_surface_get_stride(drawn.get());
  if (XInitImage(&image) == 0) return nullptr;
  const Pixmap pixmap = XCreatePixmap(display, RootWindow(display, backend.ScreenNumber()),
                                      static_cast<unsigned>(width), static_cast<unsigned>(height),
                                      static_cast<unsigned>(depth));
  const GC gc = XCreateGC(display, pixmap, 0, nullptr);
  XPutImage(display, pixmap, gc, &image, 0, 0, 0, 0, static_cast<unsigned>(width),
            static_cast<unsigned>(height));
  XFreeGC(display, gc);
  const Picture picture = XRenderCreatePicture(display, pixmap, format, 0, nullptr);
  const XRenderColor ink = ToRenderColor(color);
  return std::unique_ptr<X11TextImage>(
      new X11TextImage(display, pixmap, picture,
                       coverage ? XRenderCreateSolidFill(display, &ink) : 0, width, height));
}

X11TextImage::~X11TextImage() {
  if (ink_ != 0) XRenderFreePicture(display_, ink_);
  XRenderFreePicture(display_, image_);
  XFreePixmap(display_, pixmap_);
}

void X11TextImage::Composite(Picture target, int x, int y) const {
  // Coverage is the mask through which the line's colour is painted; a colour image is painted
  // as it is.
  const Picture source = ink_ != 0 ? ink_ : image_;
  const Picture mask = ink_ != 0 ? image_ : 0;
  XRenderComposite(display_, PictOpOver, source, mask, target, 0, 0, 0, 0, x, y,
                   static_cast<unsigned>(width_), static_cast<unsigned>(height_));
}

X11Window::X11Window(X11Backend& backend, platform::WindowEvents& events,
                     const platform::WindowStyle& style, std::string_view caption)
    : backend_(backend),
      events_(events),
      display_(backend.Dpy()),
      visual_(DefaultVisual(display_, backend.ScreenNumber())),
      colormap_(DefaultColormap(display_, backend.ScreenNumber())),
      depth_(DefaultDepth(display_, backend.ScreenNumber())),
      // FixedSingle is the one style with a border (Xlib's macro None hides the other's name).
      borderless_(style.Border != platform::BorderStyle::FixedSingle) {
  XSetWindowAttributes attributes{};
  attributes.background_pixmap = None;  // the buffer paints every pixel
  attributes.override_redirect = borderless_ ? True : False;
  attributes.event_mask = kDrawingEvents | (TakesInput() ? kInputEvents : 0);
  unsigned long mask = CWBackPixmap | CWOverrideRedirect | CWEventMask;
  if (style.InvisiblePointer) {
    attributes.cursor = backend.BlankCursor();
    mask |= CWCursor;
  }
  window_ = XCreateWindow(display_, RootWindow(display_, backend.ScreenNumber()), 0, 0, 1, 1, 0,
                          depth_, InputOutput, visual_, mask, &attributes);
  Atom protocols[] = {backend.deleteWindow_};
  XSetWMProtocols(display_, window_, protocols, 1);
  // Copies from the buffer never need the parts they could not copy: no NoExpose events.
  XGCValues values{};
  values.graphics_exposures = False;
  gc_ = XCreateGC(display_, window_, GCGraphicsExposures, &values);
  SetCaption(caption);
  backend_.AddWindow(window_, *this);
  ResizeBuffer(1, 1);
}

X11Window::~X11Window() {
  backend_.RemoveWindow(window_);
  if (draw_ != nullptr) XftDrawDestroy(draw_);
  if (buffer_ != 0) XFreePixmap(display_, buffer_);
  XFreeGC(display_, gc_);
  if (!destroyed_) XDestroyWindow(display_, window_);
  XFlush(display_);
}

bool X11Window::TakesInput() const {
  return !backend_.OnHost();
}

void X11Window::SetCaption(std::string_view caption) {
  const std::string text(caption);
  XStoreName(display_, window_, text.c_str());
  const Atom name = XInternAtom(display_, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(display_, "UTF8_STRING", False);
  XChangeProperty(display_, window_, name, utf8, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(text.data()),
                  static_cast<int>(text.size()));
}

void X11Window::SetBounds(const platform::PixelRect& client) {
  const int width = std::max(client.Width(), 1);
  const int height = std::max(client.Height(), 1);
  // A top-level window's place counts from the primary monitor's corner.
  const platform::PixelPoint origin = host_ != 0 ? platform::PixelPoint{} : backend_.Origin();
  XMoveResizeWindow(display_, window_, client.Left + origin.X, client.Top + origin.Y,
                    static_cast<unsigned>(width), static_cast<unsigned>(height));
  ResizeBuffer(width, height);
}

void X11Window::KeepAboveOthers() {
  keepAbove_ = true;
  XRaiseWindow(display_, window_);
}

platform::PixelRect X11Window::EmbedIn(platform::WindowId host) {
  const auto parent = static_cast<::Window>(host);
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display_, parent, &attributes)) return {0, 0, width_, height_};
  host_ = parent;
  XReparentWindow(display_, window_, parent, 0, 0);
  return FillHost();
}

platform::PixelRect X11Window::FillHost() {
  XWindowAttributes attributes{};
  if (host_ != 0 && XGetWindowAttributes(display_, host_, &attributes) &&
      (attributes.width != width_ || attributes.height != height_)) {
    SetBounds({0, 0, attributes.width, attributes.height});
  }
  return {0, 0, std::max(width_, 1), std::max(height_, 1)};
}

void X11Window::Show() {
  if (keepAbove_) {
    XMapRaised(display_, window_);
  } else {
    XMapWindow(display_, window_);
  }
}

void X11Window::Invalidate(const platform::PixelRect& area) {
  const platform::PixelRect clipped = area.Intersect({0, 0, width_, height_});
  if (!clipped.IsEmpty()) invalid_.push_back(clipped);
}

std::unique_ptr<platform::NativeControl> X11Window::CreateControl(
    const platform::ControlProperties&, platform::ControlEvents&) {
  // The Linux program opens no dialog; a form carries on without a control it cannot have.
  return nullptr;
}

void X11Window::ResizeBuffer(int width, int height) {
  if (width == width_ && height == height_ && buffer_ != 0) return;
  if (draw_ != nullptr) XftDrawDestroy(draw_);
  if (buffer_ != 0) XFreePixmap(display_, buffer_);
  buffer_ = XCreatePixmap(display_, window_, static_cast<unsigned>(width),
                          static_cast<unsigned>(height), static_cast<unsigned>(depth_));
  draw_ = XftDrawCreate(display_, buffer_, visual_, colormap_);
  width_ = width;
  height_ = height;
  invalid_.assign(1, {0, 0, width, height});
}

void X11Window::PaintInvalidated() {
  if (invalid_.empty() || draw_ == nullptr || destroyed_) return;
  XftCanvas canvas(display_, draw_);
  for (const platform::PixelRect& area : platform::MergeAreas(std::exchange(invalid_, {}))) {
    XRectangle clip{static_cast<short>(area.Left), static_cast<short>(area.Top),
                    static_cast<unsigned short>(area.Width()),
                    static_cast<unsigned short>(area.Height())};
    XftDrawSetClipRectangles(draw_, 0, 0, &clip, 1);
    events_.OnPaint(canvas, area);
    XCopyArea(display_, buffer_, window_, gc_, area.Left, area.Top,
              static_cast<unsigned>(area.Width()), static_cast<unsigned>(area.Height()), area.Left,
              area.Top);
  }
}

void X11Window::HandleEvent(const XEvent& event) {
  switch (event.type) {
    case Expose: {
      const XExposeEvent& e = event.xexpose;
      Invalidate({e.x, e.y, e.x + e.width, e.y + e.height});
      break;
    }
    case MapNotify:
      // The keys go to the full-screen window whatever has the focus, as the saver's on Windows.
      if (TakesInput() && borderless_) {
        if (XGrabKeyboard(display_, window_, False, GrabModeAsync, GrabModeAsync, CurrentTime) !=
            GrabSuccess) {
          XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
        }
      }
      break;
    case VisibilityNotify:
      if (keepAbove_ && event.xvisibility.state != VisibilityUnobscured) {
        XRaiseWindow(display_, window_);
      }
      break;
    case ButtonPress:
    case ButtonRelease: {
      const XButtonEvent& b = event.xbutton;
      if (const auto button = ToMouseButton(b.button)) {
        if (event.type == ButtonPress) {
          events_.OnPointerButtonDown(*button, b.x, b.y);
        } else {
          events_.OnPointerButtonUp(*button, b.x, b.y);
        }
      }
      break;
    }
    case KeyPress:
      events_.OnKeyDown();  // any key: modifiers, function and media keys as well
      break;
    case ClientMessage:
      // The window manager's close box: the window goes, as the system destroys it.
      if (static_cast<Atom>(event.xclient.data.l[0]) == backend_.deleteWindow_) {
        XDestroyWindow(display_, window_);
      }
      break;
    case DestroyNotify:
      if (event.xdestroywindow.window == window_) {
        destroyed_ = true;
        events_.OnDestroyedBySystem();  // last: the form may drop this object
      }
      break;
    default:
      break;
  }
}

}  // namespace velloway::x11
