#pragma once
#include <string>
#include <vector>

#include "platform/backend.h"

namespace velloway::testing {

// A canvas that notes what was drawn, in order.
class RecordingCanvas : public forms::Canvas {
 public:
  struct Fill {
    forms::PixelRect Rect;
    velloway::Color Color;
  };
  struct Text {
    std::string Caption;
    int X;
    int Y;
    velloway::Color Color;
  };

  void FillRect(const forms::PixelRect& rect, Color color) override {
    fills.push_back({rect, color});
  }
  void DrawText(const forms::FontSpec&, std::string_view text, int x, int y, Color color) override {
    texts.push_back({std::string(text), x, y, color});
  }

  std::vector<Fill> fills;
  std::vector<Text> texts;
};

}  // namespace velloway::testing
