#include <windows.h>

#include <shellscalingapi.h>

#include "platform/win32/win32_screens.h"

#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/win32/win32_backend.h"

// The screens: the primary monitor and the others, each with its DPI, and the refresh rate.
namespace velloway::win32 {
namespace {

using GetDpiForMonitorFunction = decltype(&GetDpiForMonitor);

// A monitor's own DPI where the system tells it (shcore's GetDpiForMonitor, Windows 8.1 on).
std::optional<std::pair<int, int>> MonitorDpi(HMODULE shcore, HMONITOR monitor) {
  if (shcore == nullptr || monitor == nullptr) return std::nullopt;
  const FARPROC proc = GetProcAddress(shcore, "GetDpiForMonitor");
  if (proc == nullptr) return std::nullopt;
  // Through void(*)(), the type that converts to any function type without a warning.
  const auto getDpi =
      reinterpret_cast<GetDpiForMonitorFunction>(reinterpret_cast<void (*)()>(proc));
  UINT x = 0;
  UINT y = 0;
  if (FAILED(getDpi(monitor, MDT_EFFECTIVE_DPI, &x, &y)) || x == 0 || y == 0) return std::nullopt;
  return std::pair{static_cast<int>(x), static_cast<int>(y)};
}

// The DPI every monitor has where the system knows only one.
std::pair<int, int> SystemDpi() {
  const ScreenDc screen;
  if (screen.Get() != nullptr) {
    const int x = GetDeviceCaps(screen.Get(), LOGPIXELSX);
    const int y = GetDeviceCaps(screen.Get(), LOGPIXELSY);
    if (x > 0 && y > 0) return {x, y};
  }
  return {96, 96};
}

struct OtherMonitorSearch {
  HMODULE shcore;
  std::vector<platform::MonitorArea>& found;
};

BOOL CALLBACK CollectOtherMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  auto& search = *reinterpret_cast<OtherMonitorSearch*>(data);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (GetMonitorInfoW(monitor, &info) && (info.dwFlags & MONITORINFOF_PRIMARY) == 0) {
    const RECT& r = info.rcMonitor;
    const auto [dpiX, dpiY] = MonitorDpi(search.shcore, monitor).value_or(SystemDpi());
    search.found.push_back({{r.left, r.top, r.right, r.bottom}, dpiX, dpiY});
  }
  return TRUE;
}

}  // namespace

std::pair<int, int> PrimaryDpi(HMODULE shcore) {
  const HMONITOR primary = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  return MonitorDpi(shcore, primary).value_or(SystemDpi());
}

platform::ScreenMetrics Win32Backend::Screen() {
  // Asking the system takes several round trips (under Wine, to its server), and the forms ask
  // for every conversion of twips: the answer is kept until the display changes.
  if (!screen_) screen_ = ReadScreen();
  return *screen_;
}

platform::ScreenMetrics Win32Backend::ReadScreen() {
  platform::ScreenMetrics metrics;
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  if (width > 0 && height > 0) {
    metrics.WidthPx = width;
    metrics.HeightPx = height;
  }
  std::tie(metrics.DpiX, metrics.DpiY) = PrimaryDpi(shcore_.get());
  OtherMonitorSearch search{shcore_.get(), metrics.OtherMonitors};
  EnumDisplayMonitors(nullptr, nullptr, &CollectOtherMonitor, reinterpret_cast<LPARAM>(&search));
  DEVMODEW mode{};
  mode.dmSize = sizeof(mode);
  // 0 and 1 stand for the hardware's default rate, which the system does not tell.
  if (EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode) && mode.dmDisplayFrequency > 1) {
    metrics.RefreshHz = static_cast<int>(mode.dmDisplayFrequency);
  }
  return metrics;
}

}  // namespace velloway::win32
