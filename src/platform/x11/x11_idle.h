#pragma once
// The X server's own idle time (the MIT-SCREEN-SAVER extension), for velloway --when-idle in an
// X11 session without XScreenSaver, on a connection of its own, asked when the waiting needs it.
// A program holding off the screen saver resets it (XResetScreenSaver), as video players do.
#include "platform/posix/idle_source.h"

namespace velloway::x11 {

// Connects to the display DISPLAY names; no source when the server lacks the extension. Throws
// std::runtime_error when xscreensaver runs there: it starts its hacks itself.
posix::IdleOffer OfferServerIdle();

}  // namespace velloway::x11
