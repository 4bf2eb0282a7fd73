#pragma once
// What only the Windows program asks of the system around it: where it is installed, the other
// copies of it that run, and the windows that host its preview.
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/geometry.h"

namespace velloway::platform {

// Held by one start of the program at a time in the user's session; released when it goes.
class RunningCopyLock {
 public:
  virtual ~RunningCopyLock() = default;
};

class Desktop {
 public:
  virtual ~Desktop() = default;
  // The folder the program itself lies in, without a trailing separator.
  virtual std::string ProgramFolder() = 0;
  // Whether host is a window that exists and can host a preview: the desktop, the window behind
  // all others, cannot.
  virtual bool HostExists(WindowId host) = 0;
  // Hands the activation to the window that owns host.
  virtual void ActivateOwnerOf(WindowId host) = 0;
  // Whether a window with one of these captions is open, this program's or another copy's. Every
  // caption is looked for, whichever is found.
  virtual bool FindRunningCopy(std::span<const std::string_view> captions) = 0;
  // Claims the lock that makes a start's look for a running copy and the opening of its window
  // one step: while another start holds it, waits for it. Null when it could not be had in time.
  virtual std::unique_ptr<RunningCopyLock> ClaimRunningCopyLock() = 0;
};

}  // namespace velloway::platform
