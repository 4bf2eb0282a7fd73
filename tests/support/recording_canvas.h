#pragma once
#include <string>
#include <vector>

#include "platform/headless/headless_backend.h"
#include "platform/window_system.h"

namespace velloway::testing {

// A canvas that notes what was drawn, in order: a text image of the headless backend as its
// text drawn where the image goes.
class RecordingCanvas : public platform::Canvas {
 public:
  struct Fill {
    platform::PixelRect Rect;
    velloway::Color Color;
  };
  struct Text {
    std::string Caption;
    int X;
    int Y;
    velloway::Color Color;
    int Phase;  // sixteenths of a pixel below Y
  };

  void FillRect(const platform::PixelRect& rect, Color color) override {
    fills.push_back({rect, color});
  }
  void DrawImage(const platform::TextImage& image, int x, int y) override {
    const auto& drawn = dynamic_cast<const headless::HeadlessTextImage&>(image);
    texts.push_back({drawn.Text, x, y, drawn.Color, drawn.Span.Phase});
  }

  std::vector<Fill> fills;
  std::vector<Text> texts;
};

}  // namespace velloway::testing
