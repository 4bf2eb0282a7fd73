#pragma once
// How the native program takes the X server's errors.

namespace velloway::x11 {

// Windows vanish under a program (the daemon's when it deactivates, another program's while it
// is looked at): requests on them fail, and the program learns of it otherwise (DestroyNotify).
// Xlib's default handler would exit at once; from now on errors are let pass.
void LetErrorsPass();

}  // namespace velloway::x11
