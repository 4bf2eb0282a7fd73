// The screen's DPI, from the X resources or the screen's physical size.
#include <gtest/gtest.h>

#include <optional>
#include <string_view>

#include "platform/x11/screen_dpi.h"

namespace velloway::x11 {
namespace {

TEST(ScreenDpi, XftDpiFirstThenThePhysicalSizeThen96) {
  struct Case {
    std::optional<std::string_view> resources;
    int pixels;
    int millimetres;
    int dpi;
  };
  const Case cases[] = {
      {"Xft.dpi:\t120\n", 1080, 286, 120},
      {"Xft.antialias:\t1\nXft.dpi:  144.4\nXcursor.size: 24\n", 1080, 286, 144},
      {"Xft.dpi:\t96\nXft.dpi:\t192\n", 1080, 286, 192},  // the last one counts
      {"Xft.dpi:\tlarge\n", 1080, 286, 96},               // unreadable: the physical size
      {"Xft.dpi:\t5000\n", 1080, 143, 192},               // absurd: the physical size
      {std::nullopt, 1080, 286, 96},
      {std::nullopt, 2160, 286, 192},
      {"*background: grey\n", 1080, 0, 96},  // no physical size either
      {std::nullopt, 1080, 1, 96},           // an absurd physical size
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ScreenDpi(c.resources, c.pixels, c.millimetres), c.dpi)
        << (c.resources ? *c.resources : "(none)") << " " << c.pixels << "/" << c.millimetres;
  }
}

}  // namespace
}  // namespace velloway::x11
