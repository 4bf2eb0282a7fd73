#pragma once
// The running-copy lock as a lock file of the user's, one per display.
#include <memory>
#include <string_view>

#include "platform/backend.h"

namespace velloway::posix {

// Locks the user's lock file for `display` in XDG_RUNTIME_DIR (or /tmp), waiting while another
// start holds it; null when it cannot be had within 10 seconds, as on Windows: a start holding
// it longer is stuck.
std::unique_ptr<forms::RunningCopyLock> ClaimLockFile(std::string_view display);

}  // namespace velloway::posix
