#include "platform/wayland/scaled_surface.h"

#include <wayland-client.h>

#include <algorithm>
#include <utility>

#include "fractional-scale-v1-client-protocol.h"
#include "viewporter-client-protocol.h"

namespace velloway::wayland {

ScaledSurface::ScaledSurface(const SurfaceMakers& makers, std::function<void()> told)
    : told_(std::move(told)), surface_(wl_compositor_create_surface(makers.Compositor)) {
  static const wl_surface_listener surfaceListener = {OnEnter, OnLeave};
  wl_surface_add_listener(surface_.get(), &surfaceListener, this);
  // A fractional scale needs the viewport to be shown at; without one, the integer scale serves.
  if (makers.Viewporter != nullptr) {
    viewport_.reset(wp_viewporter_get_viewport(makers.Viewporter, surface_.get()));
    if (makers.FractionalScale != nullptr) {
      fractional_.reset(wp_fractional_scale_manager_v1_get_fractional_scale(makers.FractionalScale,
                                                                            surface_.get()));
      static const wp_fractional_scale_v1_listener scaleListener = {OnPreferredScale};
      wp_fractional_scale_v1_add_listener(fractional_.get(), &scaleListener, this);
    }
  }
}

void ScaledSurface::Apply(const SurfaceScale& scale, platform::PixelSize logical) {
  if (appliedScale_ == scale && appliedLogical_ == logical) return;
  if (scale.Viewport) {
    wl_surface_set_buffer_scale(surface_.get(), 1);
    wp_viewport_set_destination(viewport_.get(), logical.Width, logical.Height);
  } else {
    // A destination left from a fractional scale would stretch the buffer again.
    if (appliedScale_ && appliedScale_->Viewport) {
      wp_viewport_set_destination(viewport_.get(), -1, -1);
    }
    wl_surface_set_buffer_scale(surface_.get(), scale.BufferScale());
  }
  appliedScale_ = scale;
  appliedLogical_ = logical;
}

void ScaledSurface::OnPreferredScale(void* data, wp_fractional_scale_v1*, std::uint32_t scale) {
  auto& surface = *static_cast<ScaledSurface*>(data);
  if (surface.preferred120_ == scale) return;
  surface.preferred120_ = scale;
  surface.told_();
}

void ScaledSurface::OnEnter(void* data, wl_surface*, wl_output* output) {
  auto& surface = *static_cast<ScaledSurface*>(data);
  std::erase(surface.outputs_, output);
  surface.outputs_.push_back(output);
  surface.told_();
}

void ScaledSurface::OnLeave(void* data, wl_surface*, wl_output* output) {
  auto& surface = *static_cast<ScaledSurface*>(data);
  std::erase(surface.outputs_, output);
  surface.told_();
}

}  // namespace velloway::wayland
