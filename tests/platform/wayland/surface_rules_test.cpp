// What the Wayland backend decides about its surfaces: the shell of a stage's windows, and the
// scale a buffer is drawn at, as compositors offer them.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

#include "platform/wayland/surface_rules.h"

namespace velloway::wayland {
namespace {

using platform::StageKind;

TEST(SurfaceRules, ChoosesTheLayerShellFullScreenWhereOfferedElseAFullscreenToplevel) {
  const struct {
    StageKind stage;
    OfferedShells offered;
    std::optional<Shell> shell;
  } cases[] = {
      // sway, Hyprland, river, labwc, KWin
      {StageKind::FullScreen, {true, true}, Shell::LayerOverlay},
      {StageKind::FullScreen, {true, false}, Shell::LayerOverlay},
      // Mutter, Weston
      {StageKind::FullScreen, {false, true}, Shell::FullScreenToplevel},
      {StageKind::FullScreen, {false, false}, std::nullopt},
      // An ordinary window is one whatever else is offered.
      {StageKind::OwnWindow, {true, true}, Shell::Toplevel},
      {StageKind::OwnWindow, {false, true}, Shell::Toplevel},
      {StageKind::OwnWindow, {true, false}, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ChooseShell(c.stage, c.offered), c.shell)
        << static_cast<int>(c.stage) << " layer " << c.offered.LayerShell << " xdg "
        << c.offered.XdgShell;
  }
}

TEST(SurfaceRules, DrawsTheBufferInTheOutputsRealPixels) {
  const struct {
    std::int32_t outputScale;
    std::optional<std::uint32_t> preferred120;
    bool viewporter;
    platform::PixelSize logical;
    std::uint32_t scale120;
    bool viewport;
    std::int32_t bufferScale;
    platform::PixelSize pixels;
    int dpi;
  } cases[] = {
      {1, std::nullopt, true, {1280, 720}, 120, false, 1, {1280, 720}, 96},
      {2, std::nullopt, true, {640, 360}, 240, false, 2, {1280, 720}, 192},
      {3, std::nullopt, false, {1280, 720}, 360, false, 3, {3840, 2160}, 288},
      // A scale of 0 is no scale.
      {0, std::nullopt, true, {1280, 720}, 120, false, 1, {1280, 720}, 96},
      // The compositor's fractional scale, through the viewport.
      {2, 180u, true, {1280, 720}, 180, true, 1, {1920, 1080}, 144},
      {1, 150u, true, {1366, 768}, 150, true, 1, {1708, 960}, 120},
      {1, 240u, true, {640, 360}, 240, true, 1, {1280, 720}, 192},
      // Without a viewport to show it at, the output's integer scale.
      {2, 180u, false, {640, 360}, 240, false, 2, {1280, 720}, 192},
  };
  for (const auto& c : cases) {
    const SurfaceScale scale = ChooseScale(c.outputScale, c.preferred120, c.viewporter);
    SCOPED_TRACE(testing::Message()
                 << "output scale " << c.outputScale << ", preferred " << c.preferred120.value_or(0)
                 << ", viewporter " << c.viewporter);
    EXPECT_EQ(scale.Scale120, c.scale120);
    EXPECT_EQ(scale.Viewport, c.viewport);
    EXPECT_EQ(scale.BufferScale(), c.bufferScale);
    EXPECT_EQ(scale.Pixels(c.logical), c.pixels);
    EXPECT_EQ(scale.Logical(c.pixels), c.logical);
    EXPECT_EQ(scale.Dpi(), c.dpi);
  }
}

TEST(SurfaceRules, APointersLogicalPlaceIsTheBuffersPixelUnderIt) {
  const struct {
    SurfaceScale scale;
    double logical;
    int pixel;
  } cases[] = {
      {{120, false}, 10.75, 10}, {{240, false}, 10.75, 21},  {{180, true}, 10.5, 15},
      {{180, true}, 0.0, 0},     {{150, true}, 639.99, 799},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.scale.PixelsAt(c.logical), c.pixel) << c.scale.Scale120 << " " << c.logical;
  }
}

}  // namespace
}  // namespace velloway::wayland
