#pragma once
// The rules of velloway --when-idle: which source tells the desktop's idleness, and when a roll
// starts.
#include <chrono>
#include <memory>
#include <optional>

#include "platform/posix/idle_source.h"
#include "platform/tick_schedule.h"

namespace velloway::linux {

// The ways a session tells its idleness, in the order they are asked.
class IdleSessions {
 public:
  virtual ~IdleSessions() = default;
  // The compositor WAYLAND_DISPLAY names: ext_idle_notifier_v1, else org_kde_kwin_idle.
  virtual posix::IdleOffer Compositor() = 0;
  // GNOME's idle monitor on the session bus.
  virtual posix::IdleOffer GnomeIdleMonitor() = 0;
  // The X server DISPLAY names (MIT-SCREEN-SAVER).
  virtual posix::IdleOffer XServer() = 0;
};

// The compositor's word where it gives one, else GNOME's idle monitor; the X server only outside
// a Wayland session, whose X server (Xwayland) sees only the input of X programs. Throws
// std::runtime_error, saying why, when no source tells idleness.
std::unique_ptr<posix::IdleSource> ChooseIdleSource(IdleSessions& sessions);

// When a roll starts: once the desktop has been idle the time asked, by its source's word and
// since the last roll ended, whose end was the user's doing whatever the source saw.
class IdleSchedule {
 public:
  explicit IdleSchedule(std::chrono::milliseconds wait) : wait_(wait) {}

  struct Next {
    bool Start = false;
    // When to ask the source again; nothing: when it tells (or never, for Start).
    std::optional<platform::ClockTime> AskAgain;
  };
  // What follows at `now` from the source's idle time then (IdleSource::IdleTime).
  Next At(platform::ClockTime now, std::optional<std::chrono::milliseconds> idle) const;
  void RollEnded(platform::ClockTime at) { rollEnded_ = at; }

 private:
  platform::ClockTime wait_;
  std::optional<platform::ClockTime> rollEnded_;
};

}  // namespace velloway::linux
