// What the Wayland backend decides before it shows lines as subsurfaces: where each image of a
// line lies in its sheet, and whether a form's paint is lines over its background alone.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/wayland/line_sprites.h"

namespace velloway::wayland {
namespace {

constexpr Color kInk = 0x40E060;

// A line's coverage image of these rows.
std::unique_ptr<SpriteImage> Image(const std::vector<std::vector<unsigned char>>& rows,
                                   const std::shared_ptr<SpriteSheet>& sheet) {
  const int width = static_cast<int>(rows.front().size());
  posix::LineImage drawn(
      cairo_image_surface_create(CAIRO_FORMAT_A8, width, static_cast<int>(rows.size())));
  cairo_surface_flush(drawn.get());
  for (std::size_t y = 0; y < rows.size(); ++y) {
    std::memcpy(cairo_image_surface_get_data(drawn.get()) +
                    static_cast<std::ptrdiff_t>(y) * cairo_image_surface_get_stride(drawn.get()),
                rows[y].data(), rows[y].size());
  }
  cairo_surface_mark_dirty(drawn.get());
  return std::make_unique<SpriteImage>(std::move(drawn), kInk, sheet);
}

TEST(LineSprites, EachPhaseOfASheetShowsTheRectangleAnyOfThemInks) {
  const auto sheet = std::make_shared<SpriteSheet>();
  // A line and the same lowered: its ink reaches a row further down, and a column further.
  const auto still =
      Image({{0, 0, 0, 0, 0}, {0, 9, 255, 0, 0}, {0, 0, 80, 0, 0}, {0, 0, 0, 0, 0}}, sheet);
  const auto lowered =
      Image({{0, 0, 0, 0, 0}, {0, 0, 200, 0, 0}, {0, 7, 90, 40, 0}, {0, 0, 3, 0, 0}}, sheet);
  const platform::PixelRect inked{1, 1, 4, 4};
  EXPECT_EQ(still->Part().Inked, inked);
  EXPECT_EQ(lowered->Part().Inked, inked);
  EXPECT_EQ(still->Part().InSheet, (platform::PixelRect{0, 0, 3, 3}));
  EXPECT_EQ(lowered->Part().InSheet, (platform::PixelRect{0, 3, 3, 6}));

  const auto blank = std::make_shared<SpriteSheet>();
  EXPECT_TRUE(Image({{0, 0}, {0, 0}}, blank)->Part().Inked.IsEmpty());
  EXPECT_EQ(blank->Buffer(nullptr), nullptr) << "a sheet without ink has no buffer to show";
}

TEST(LineSprites, AFormsPaintIsLinesOverItsBackgroundOnlyWhenItFillsAllOfItFirst) {
  const platform::PixelSize size{100, 50};
  const auto line = Image({{255}}, std::make_shared<SpriteSheet>());
  const struct {
    std::string paint;
    std::function<void(Scene&)> steps;
    std::optional<Color> background;
  } cases[] = {
      {"nothing", [](Scene&) {}, std::nullopt},
      {"all filled, a line over it",
       [&](Scene& scene) {
         scene.FillRect({0, 0, 100, 50}, 0x102030);
         scene.DrawImage(*line, 10, 20);
       },
       0x102030},
      {"filled beyond its edges",
       [](Scene& scene) {
         scene.FillRect({-5, -5, 200, 90}, 0x010203);
       },
       0x010203},
      {"part filled",
       [](Scene& scene) {
         scene.FillRect({0, 0, 100, 49}, 0x102030);
       },
       std::nullopt},
      {"a line, then all filled",
       [&](Scene& scene) {
         scene.DrawImage(*line, 10, 20);
         scene.FillRect({0, 0, 100, 50}, 0x102030);
       },
       std::nullopt},
      {"all filled twice",
       [](Scene& scene) {
         scene.FillRect({0, 0, 100, 50}, 0x102030);
         scene.FillRect({0, 0, 100, 50}, 0x102030);
       },
       std::nullopt},
  };
  for (const auto& c : cases) {
    Scene scene(size);
    c.steps(scene);
    EXPECT_EQ(scene.Background(), c.background) << c.paint;
  }
}

}  // namespace
}  // namespace velloway::wayland
