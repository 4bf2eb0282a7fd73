#pragma once
// A wl_surface drawn in its output's real pixels: the scale the compositor prefers for it where
// it says (wp_fractional_scale_v1), shown through a viewport (wp_viewporter), else its output's
// integer scale; and the outputs it is on.
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/geometry.h"
#include "platform/wayland/surface_rules.h"
#include "platform/wayland/wayland_handles.h"

namespace velloway::wayland {

// The compositor's objects a surface is made with; the last two may be null (not offered).
struct SurfaceMakers {
  wl_compositor* Compositor = nullptr;
  wp_viewporter* Viewporter = nullptr;
  wp_fractional_scale_manager_v1* FractionalScale = nullptr;
};

class ScaledSurface {
 public:
  // told runs, from the listener, when the compositor tells a preferred scale or the outputs the
  // surface is on change: it may only take note.
  ScaledSurface(const SurfaceMakers& makers, std::function<void()> told);
  ScaledSurface(const ScaledSurface&) = delete;
  ScaledSurface& operator=(const ScaledSurface&) = delete;

  wl_surface* Get() const { return surface_.get(); }
  // The scale for a surface on an output of integer scale outputScale.
  SurfaceScale ScaleOn(std::int32_t outputScale) const {
    return ChooseScale(outputScale, preferred120_, viewport_ != nullptr);
  }
  std::optional<std::uint32_t> Preferred120() const { return preferred120_; }
  // The outputs it shows on, the last entered last.
  const std::vector<wl_output*>& Outputs() const { return outputs_; }
  // Tells the compositor, with the next commit, how a buffer drawn at scale covers the logical
  // size.
  void Apply(const SurfaceScale& scale, platform::PixelSize logical);

 private:
  static void OnPreferredScale(void* data, wp_fractional_scale_v1* object, std::uint32_t scale);
  static void OnEnter(void* data, wl_surface* surface, wl_output* output);
  static void OnLeave(void* data, wl_surface* surface, wl_output* output);

  std::function<void()> told_;
  Owned<wl_surface> surface_;
  Owned<wp_viewport> viewport_;
  Owned<wp_fractional_scale_v1> fractional_;
  std::optional<std::uint32_t> preferred120_;
  std::vector<wl_output*> outputs_;
  std::optional<SurfaceScale> appliedScale_;
  platform::PixelSize appliedLogical_;
};

}  // namespace velloway::wayland
