#include <utility>
#include <vector>

#include "platform/wayland/wayland_backend.h"
#include "platform/wayland/wayland_output.h"
#include "platform/wayland/wayland_window.h"
#include "platform/wayland/window_host.h"

// The screens as the outputs make them: the primary output at (0, 0), the others to its right
// in the order the compositor announced them, each in its real pixels; or the ordinary window.
namespace velloway::wayland {

void WaylandBackend::NoteScreens() {
  if (std::exchange(screensNoted_, true)) return;
  Post([this] { ScreensChanged(); });
}

Output* WaylandBackend::PrimaryOutput() const {
  Output* first = nullptr;
  for (const auto& output : outputs_) {
    if (!output->Known()) continue;
    if (!outputName_.empty() && output->Name() == outputName_) return output.get();
    if (first == nullptr) first = output.get();
  }
  return first;
}

SurfaceScale WaylandBackend::ScaleOf(const Output& output) const {
  return ChooseScale(output.Scale(), output.Preferred120(), viewporter_ != nullptr);
}

std::vector<WaylandBackend::Placed> WaylandBackend::Layout() const {
  std::vector<Placed> layout;
  const Output* primary = PrimaryOutput();
  if (primary == nullptr) return layout;
  const auto place = [&](const Output& output, int left) {
    const SurfaceScale scale = ScaleOf(output);
    const platform::PixelSize size = scale.Pixels(output.Logical());
    layout.push_back({output.GlobalName(), {left, 0, left + size.Width, size.Height}, scale});
    return left + size.Width;
  };
  int left = place(*primary, 0);
  for (const auto& output : outputs_) {
    if (output.get() != primary && output->Known()) left = place(*output, left);
  }
  return layout;
}

platform::ScreenMetrics WaylandBackend::ReadScreen() const {
  platform::ScreenMetrics metrics;
  const Output* primary = PrimaryOutput();
  if (primary != nullptr) metrics.RefreshHz = primary->RefreshHz();
  if (host_) {
    const SurfaceScale scale = host_->Scale();
    const platform::PixelSize size = scale.Pixels(host_->Logical());
    metrics.WidthPx = size.Width;
    metrics.HeightPx = size.Height;
    metrics.DpiX = metrics.DpiY = scale.Dpi();
    return metrics;
  }
  for (const Placed& placed : layout_) {
    const int dpi = placed.Scale.Dpi();
    if (&placed == &layout_.front()) {
      metrics.WidthPx = placed.Bounds.Width();
      metrics.HeightPx = placed.Bounds.Height();
      metrics.DpiX = metrics.DpiY = dpi;
    } else {
      metrics.OtherMonitors.push_back({placed.Bounds, dpi, dpi});
    }
  }
  return metrics;
}

const WaylandBackend::Placed& WaylandBackend::PlaceOf(const platform::PixelRect& bounds) {
  static const Placed kNowhere{};
  if (layout_.empty()) return kNowhere;
  const Placed* best = &layout_.front();
  long long most = 0;
  for (const Placed& placed : layout_) {
    if (placed.Bounds == bounds) return placed;
    const platform::PixelRect common = placed.Bounds.Intersect(bounds);
    const long long area =
        common.IsEmpty() ? 0 : static_cast<long long>(common.Width()) * common.Height();
    if (area > most) {
      most = area;
      best = &placed;
    }
  }
  return *best;
}

platform::ScreenMetrics WaylandBackend::Screen() {
  return metrics_;
}

void WaylandBackend::ScreensChanged() {
  screensNoted_ = false;
  layout_ = Layout();
  platform::ScreenMetrics metrics = ReadScreen();
  if (metrics == metrics_) return;
  metrics_ = std::move(metrics);
  // Text is drawn at the primary output's real density.
  if (metrics_.DpiY != textDpi_) {
    textDpi_ = metrics_.DpiY;
    text_ = std::make_unique<posix::PangoText>(textDpi_);
  }
  // A window destroyed meanwhile hears nothing more.
  std::vector<platform::WindowId> ids;
  for (const auto& [id, window] : windows_) ids.push_back(id);
  for (const platform::WindowId id : ids) {
    if (WaylandWindow* window = WindowOf(id)) window->ScreensChanged();
  }
}

}  // namespace velloway::wayland
