#pragma once
// What the forms toolkit asks of a platform, one small interface per concern: windows and the
// pointer, the clock, text, the screens, the environment, music and the event loop. A backend
// speaks of what the windows mean to do, never in a platform's words. Five backends implement
// it side by side: win32 (real windows, GDI, the media system), x11 (Xlib, Xft, SDL_mixer),
// wayland (libwayland-client, shared-memory buffers, SDL_mixer), headless (in memory, for
// tests) and raster (in memory, the renderer's films). The Windows
// program's desktop (desktop.h) stands apart: only the backends that stand for that program
// implement it.
#include "platform/clock.h"
#include "platform/environment.h"
#include "platform/event_loop.h"
#include "platform/music_device.h"
#include "platform/screens.h"
#include "platform/text.h"
#include "platform/window_system.h"

namespace velloway::platform {

// Everything a form may ask of its platform.
class Backend : public WindowSystem,
                public Clock,
                public Typesetter,
                public Screens,
                public Environment,
                public MusicOutput,
                public EventLoop {};

}  // namespace velloway::platform
