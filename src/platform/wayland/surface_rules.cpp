#include "platform/wayland/surface_rules.h"

#include <algorithm>
#include <cmath>

namespace velloway::wayland {
namespace {

constexpr std::uint32_t kWhole = 120;
constexpr int kBaseDpi = 96;

int Scaled(int logical, std::uint32_t scale120) {
  // Rounded half away from zero, as the fractional-scale protocol asks of the buffer's size.
  return static_cast<int>((std::int64_t{logical} * scale120 + kWhole / 2) / kWhole);
}

}  // namespace

std::optional<Shell> ChooseShell(platform::StageKind stage, OfferedShells offered) {
  if (stage == platform::StageKind::FullScreen && offered.LayerShell) return Shell::LayerOverlay;
  if (!offered.XdgShell) return std::nullopt;
  return stage == platform::StageKind::FullScreen ? Shell::FullScreenToplevel : Shell::Toplevel;
}

platform::PixelSize SurfaceScale::Pixels(platform::PixelSize logical) const {
  return {Scaled(logical.Width, Scale120), Scaled(logical.Height, Scale120)};
}

platform::PixelSize SurfaceScale::Logical(platform::PixelSize pixels) const {
  const auto logical = [this](int length) {
    return static_cast<int>((std::int64_t{length} * kWhole + Scale120 / 2) / Scale120);
  };
  return {logical(pixels.Width), logical(pixels.Height)};
}

int SurfaceScale::PixelsAt(double logical) const {
  return static_cast<int>(std::floor(logical * Scale120 / kWhole));
}

int SurfaceScale::Dpi() const {
  return static_cast<int>((std::int64_t{kBaseDpi} * Scale120 + kWhole / 2) / kWhole);
}

SurfaceScale ChooseScale(std::int32_t outputScale, std::optional<std::uint32_t> preferred120,
                         bool viewporterOffered) {
  if (preferred120 && *preferred120 > 0 && viewporterOffered) return {*preferred120, true};
  return {static_cast<std::uint32_t>(std::max(outputScale, 1)) * kWhole, false};
}

}  // namespace velloway::wayland
