#include "platform/x11/x11_backend.h"

#include "platform/x11/screen_dpi.h"
#include "platform/x11/x11_window.h"

#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string_view>
#include <vector>

// The screens: the primary monitor and the others through XRandR, or the host's size.
namespace velloway::x11 {
namespace {

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

}  // namespace

platform::ScreenMetrics X11Backend::Screen() {
  // The forms ask for every conversion of twips: the answer is kept until the screens change.
  if (!metrics_) ReadScreen();
  return *metrics_;
}

platform::PixelPoint X11Backend::Origin() {
  if (!metrics_) ReadScreen();
  return origin_;
}

void X11Backend::ReadScreen() {
  platform::ScreenMetrics metrics;
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

}  // namespace velloway::x11
