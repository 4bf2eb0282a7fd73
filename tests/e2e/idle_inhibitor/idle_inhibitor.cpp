// idle_inhibitor: holds off the compositor's idleness as a video player does, with an idle
// inhibitor on a surface of its own (a surface without a role, which sway counts as shown), until
// it is ended. Says "inhibiting" on standard output once the compositor has it; exits 1 when the
// compositor offers no idle inhibition.
#include <wayland-client.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "idle-inhibit-unstable-v1-client-protocol.h"

namespace {

struct Globals {
  wl_compositor* Compositor = nullptr;
  zwp_idle_inhibit_manager_v1* Inhibitors = nullptr;
};

void OnGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t) {
  auto& globals = *static_cast<Globals*>(data);
  if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
    globals.Compositor =
        static_cast<wl_compositor*>(wl_registry_bind(registry, name, &wl_compositor_interface, 1));
  } else if (std::strcmp(interface, zwp_idle_inhibit_manager_v1_interface.name) == 0) {
    globals.Inhibitors = static_cast<zwp_idle_inhibit_manager_v1*>(
        wl_registry_bind(registry, name, &zwp_idle_inhibit_manager_v1_interface, 1));
  }
}

void OnGlobalRemove(void*, wl_registry*, std::uint32_t) {}

const wl_registry_listener kRegistryListener{OnGlobal, OnGlobalRemove};

}  // namespace

int main() {
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "idle_inhibitor: no compositor\n");
    return 1;
  }
  Globals globals;
  wl_registry_add_listener(wl_display_get_registry(display), &kRegistryListener, &globals);
  wl_display_roundtrip(display);
  if (globals.Compositor == nullptr || globals.Inhibitors == nullptr) {
    std::fprintf(stderr, "idle_inhibitor: the compositor offers no idle inhibition\n");
    return 1;
  }
  wl_surface* surface = wl_compositor_create_surface(globals.Compositor);
  zwp_idle_inhibit_manager_v1_create_inhibitor(globals.Inhibitors, surface);
  wl_display_roundtrip(display);
  std::printf("inhibiting\n");
  std::fflush(stdout);
  // Until it is ended, or the compositor goes; the connection's end frees what it made.
  while (wl_display_dispatch(display) != -1) {
  }
  return 0;
}
