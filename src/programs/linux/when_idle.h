#pragma once
// velloway --when-idle: the program stays in the session and plays a roll each time the desktop
// has been idle the time asked, then waits again. Between rolls it holds no window and no display
// connection but its idle source's.
#include <chrono>
#include <functional>

namespace velloway::linux {

// Waits, plays (playRoll: one roll, full screen, until it ends; its exit status), and waits
// again, until SIGTERM, SIGINT or SIGHUP (0) or a roll's display is lost (that roll's status).
// Throws std::runtime_error when no source tells idleness, or the source is lost.
// VELLOWAY_IDLE_REPORT set: says on standard error which source tells idleness, and each start.
int PlayWhenIdle(std::chrono::milliseconds wait, const std::function<int()>& playRoll);

}  // namespace velloway::linux
