#pragma once
// Idleness as the compositor tells it, for velloway --when-idle, on a connection of its own beside
// the roll's (as swayidle is a client of its own): ext_idle_notifier_v1 where it is offered, which
// keeps quiet while a program holds an idle inhibitor; else the older org_kde_kwin_idle (sway
// 1.7, whose idle inhibitors hold it too).
#include <chrono>

#include "platform/posix/idle_source.h"

namespace velloway::wayland {

// Connects to the compositor WAYLAND_DISPLAY names (none is reached when it is not set) and asks
// to be told each time the desktop has been idle `wait`. Throws IdleSourceLost when the
// compositor closes the connection meanwhile.
posix::IdleOffer OfferCompositorIdle(std::chrono::milliseconds wait);

}  // namespace velloway::wayland
