#pragma once
#include <optional>
#include <string_view>

namespace velloway::x11 {

// The screen's DPI as X programs agree on it: the "Xft.dpi" resource when the resources (the
// text of the root window's RESOURCE_MANAGER property) set one, else the screen's size in pixels
// over its physical size, else 96. Rounded to whole dots.
int ScreenDpi(std::optional<std::string_view> resources, int pixels, int millimetres);

}  // namespace velloway::x11
