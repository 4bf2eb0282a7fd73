#pragma once

namespace velloway::platform {

// Where the roll plays.
enum class StageKind {
  // A full-screen window of its own, ended by a key, a click or a pointer jump.
  FullScreen,
  // The window the screen-saver daemon gives (XSCREENSAVER_WINDOW), else the root window.
  Root,
  // A window named on the command line.
  GivenWindow,
  // An ordinary resizable window, ended by closing it.
  OwnWindow,
};

}  // namespace velloway::platform
