#pragma once
// GNOME's idle time, for velloway --when-idle: Mutter's idle monitor on the session bus, through
// GLib's GDBus on a connection of its own, asked when the waiting needs it (no GLib main loop).
// While a program holds off idleness through GNOME's session manager (a video player), the
// desktop counts as active.
#include <chrono>

#include "platform/posix/idle_source.h"

namespace velloway::posix {

// Connects to the session bus (none is reached without its address: no bus is started for it)
// and asks Mutter's idle monitor once; no source when it does not answer.
IdleOffer OfferGnomeIdleMonitor(std::chrono::milliseconds wait);

}  // namespace velloway::posix
