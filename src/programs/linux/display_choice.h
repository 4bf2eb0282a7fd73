#pragma once
// Which display system velloway shows on.
#include <functional>

#include "programs/linux/launch_options.h"

namespace velloway::linux {

// What --wayland or --x11 forces; else X11 where something asks for it (--root, --window-id, the
// screen-saver daemon's XSCREENSAVER_WINDOW, so that its users see no change), Wayland where
// --output names one of its outputs; else Wayland when reachWayland() reaches a compositor
// (asked only then), else X11.
DisplaySystem ChooseDisplay(const LaunchOptions& options, bool daemonWindow,
                            const std::function<bool()>& reachWayland);

}  // namespace velloway::linux
