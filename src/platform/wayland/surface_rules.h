#pragma once
// What the Wayland backend decides about its surfaces, apart from the protocol: which shell makes
// a window, and at what scale its buffer is drawn.
#include <cstdint>
#include <optional>

#include "platform/geometry.h"
#include "platform/stage_kind.h"

namespace velloway::wayland {

// The roles a window of the program takes.
enum class Shell {
  // An overlay-layer surface of zwlr_layer_shell_v1 on its output, above panels and
  // notifications, holding the keyboard.
  LayerOverlay,
  // An xdg_toplevel made fullscreen on its output.
  FullScreenToplevel,
  // An ordinary xdg_toplevel that the user moves, resizes and closes.
  Toplevel,
};

// What the compositor offers of the shells.
struct OfferedShells {
  bool LayerShell = false;
  bool XdgShell = false;
};

// The shell of a stage's windows; nothing when the compositor offers none that serves it.
std::optional<Shell> ChooseShell(platform::StageKind stage, OfferedShells offered);

// The scale a surface's buffer is drawn at: in 120ths (as wp_fractional_scale_v1 tells it), and
// how the compositor is told: through a viewport whose destination is the surface's logical size
// (the buffer then has scale 1), or as the buffer's integer scale.
struct SurfaceScale {
  std::uint32_t Scale120 = 120;
  bool Viewport = false;
  // What wl_surface.set_buffer_scale is given.
  std::int32_t BufferScale() const {
    return Viewport ? 1 : static_cast<std::int32_t>(Scale120 / 120);
  }
  // A logical size in the buffer's pixels.
  platform::PixelSize Pixels(platform::PixelSize logical) const;
  // A size in the buffer's pixels in logical units, rounded to the nearest.
  platform::PixelSize Logical(platform::PixelSize pixels) const;
  // A logical length in the buffer's pixels, rounded down (a pointer's place).
  int PixelsAt(double logical) const;
  // The DPI at which text comes out at the output's real density: 96 at scale 1.
  int Dpi() const;
  bool operator==(const SurfaceScale&) const = default;
};

// A buffer in the output's real pixels: the scale the compositor prefers for the surface
// (preferred120, wp_fractional_scale_v1), shown through a viewport, where it tells one and
// wp_viewporter is offered; else the output's integer scale (wl_output.scale).
SurfaceScale ChooseScale(std::int32_t outputScale, std::optional<std::uint32_t> preferred120,
                         bool viewporterOffered);

}  // namespace velloway::wayland
