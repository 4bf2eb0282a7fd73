#pragma once
// Before Xlib, whose macros (None, Bool) would rename the seam's names.
#include "platform/posix/pango_text.h"
#include "platform/window_system.h"

#include <X11/Xft/Xft.h>
#include <X11/Xlib.h>

#include <memory>
#include <string_view>
#include <vector>

namespace velloway::x11 {

class X11Backend;

// A line of text drawn once, and painted where a frame shows it, blending its edges with whatever
// lies beneath (another line, the background), with no text laid out again: as coverage (an 8-bit
// alpha pixmap) through which its colour is painted, or, when a colour font shows some of it, in
// its colours (a 32-bit pixmap, premultiplied).
class X11TextImage final : public platform::TextImage {
 public:
  // A line's image put into the X server, coverage painted in color; null when the pixmaps
  // cannot be made.
  static std::unique_ptr<X11TextImage> Put(X11Backend& backend, const posix::LineImage& drawn,
                                           Color color);
  ~X11TextImage() override;
  X11TextImage(const X11TextImage&) = delete;
  X11TextImage& operator=(const X11TextImage&) = delete;
  // Paints the image with its top-left corner at (x, y) of the picture.
  void Composite(Picture target, int x, int y) const;
  // In the X server: a byte a pixel for coverage, four in colour.
  std::size_t Bytes() const override {
    return static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) *
           (ink_ != 0 ? 1u : 4u);
  }

 private:
  // ink is 0 for an image in colour.
  X11TextImage(Display* display, Pixmap pixmap, Picture image, Picture ink, int width, int height)
      : display_(display),
        pixmap_(pixmap),
        image_(image),
        ink_(ink),
        width_(width),
        height_(height) {}

  Display* display_;
  Pixmap pixmap_;
  Picture image_;
  Picture ink_;
  int width_;
  int height_;
};

// A form's window: a top-level X window (override-redirect when borderless, so that it covers
// its monitor whatever the window manager does) or a child of a host. Everything it shows is
// painted into its back buffer, a pixmap as large as the window, and copied from there; changed
// areas are painted when the event loop has nothing else waiting, as Windows paints.
class X11Window final : public platform::NativeWindow {
 public:
  X11Window(X11Backend& backend, platform::WindowEvents& events, const platform::WindowStyle& style,
            std::string_view caption);
  ~X11Window() override;
  X11Window(const X11Window&) = delete;
  X11Window& operator=(const X11Window&) = delete;

  platform::WindowId Id() const override { return static_cast<platform::WindowId>(window_); }
  void SetCaption(std::string_view caption) override;
  void SetBounds(const platform::PixelRect& client) override;
  void KeepAboveOthers() override;
  platform::PixelRect EmbedIn(platform::WindowId host) override;
  platform::PixelRect FillHost() override;
  // X draws no frame of its own: a window manager's frame is unknown before the window shows.
  platform::PixelRect OuterBounds(const platform::PixelRect& client) const override {
    return client;
  }
  void Show() override;
  void Invalidate(const platform::PixelRect& area) override;
  // The Linux program opens no dialog (the screen-saver daemon's settings program holds its
  // settings): this backend makes no native controls (null).
  std::unique_ptr<platform::NativeControl> CreateControl(
      const platform::ControlProperties& properties, platform::ControlEvents& events) override;

  // An event for this window. Destruction by the system is handled last: the form may drop this
  // object then.
  void HandleEvent(const XEvent& event);
  // The screens (or the host) changed their size or layout.
  void ScreensChanged() { events_.OnDisplayChanged(); }
  // Paints the areas invalidated since the last call.
  void PaintInvalidated();

 private:
  void ResizeBuffer(int width, int height);
  bool TakesInput() const;

  X11Backend& backend_;
  platform::WindowEvents& events_;
  Display* display_;
  ::Window window_ = 0;
  Visual* visual_;
  Colormap colormap_;
  int depth_;
  Pixmap buffer_ = 0;
  XftDraw* draw_ = nullptr;
  GC gc_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  std::vector<platform::PixelRect> invalid_;
  bool borderless_;
  bool keepAbove_ = false;
  ::Window host_ = 0;       // the window this one is embedded in; 0 for a top-level window
  bool destroyed_ = false;  // by the system: nothing is left to destroy
};

}  // namespace velloway::x11
