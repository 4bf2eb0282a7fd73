#include "programs/linux/display_choice.h"

namespace velloway::linux {

DisplaySystem ChooseDisplay(const LaunchOptions& options, bool daemonWindow,
                            const std::function<bool()>& reachWayland) {
  if (options.Display) return *options.Display;
  if (options.Stage == platform::StageKind::Root ||
      options.Stage == platform::StageKind::GivenWindow || daemonWindow) {
    return DisplaySystem::X11;
  }
  if (!options.Output.empty()) return DisplaySystem::Wayland;
  return reachWayland() ? DisplaySystem::Wayland : DisplaySystem::X11;
}

}  // namespace velloway::linux
