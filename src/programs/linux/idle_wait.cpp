#include "programs/linux/idle_wait.h"

#include <algorithm>
#include <stdexcept>

namespace velloway::linux {

std::unique_ptr<posix::IdleSource> ChooseIdleSource(IdleSessions& sessions) {
  posix::IdleOffer compositor = sessions.Compositor();
  if (compositor.Source) return std::move(compositor.Source);
  posix::IdleOffer gnome = sessions.GnomeIdleMonitor();
  if (gnome.Source) return std::move(gnome.Source);
  if (compositor.Reached) {
    throw std::runtime_error(
        "the Wayland compositor tells no idle time: it offers neither ext_idle_notifier_v1 nor "
        "org_kde_kwin_idle, and no GNOME idle monitor answers");
  }
  posix::IdleOffer server = sessions.XServer();
  if (server.Source) return std::move(server.Source);
  if (server.Reached) {
    throw std::runtime_error("the X server tells no idle time: it lacks MIT-SCREEN-SAVER");
  }
  throw std::runtime_error(
      "no desktop session to wait in: neither WAYLAND_DISPLAY nor DISPLAY reaches a display");
}

IdleSchedule::Next IdleSchedule::At(platform::ClockTime now,
                                    std::optional<std::chrono::milliseconds> idle) const {
  if (!idle) return {};
  platform::ClockTime idleFor = *idle;
  if (rollEnded_) idleFor = std::min(idleFor, now - *rollEnded_);
  if (idleFor >= wait_) return {true, std::nullopt};
  return {false, now + (wait_ - idleFor)};
}

}  // namespace velloway::linux
