#include "platform/wayland/wayland_handles.h"

#include <wayland-client.h>

#include "fractional-scale-v1-client-protocol.h"
#include "viewporter-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace velloway::wayland {
namespace {

// The version that brought an object's destructor request; bound lower, the object is forgotten
// on the client's side alone.
template <typename T>
bool Since(T* object, unsigned version) {
  return wl_proxy_get_version(reinterpret_cast<wl_proxy*>(object)) >= version;
}

}  // namespace

void WaylandDeleter::operator()(wl_buffer* buffer) const {
  wl_buffer_destroy(buffer);
}
void WaylandDeleter::operator()(wl_callback* callback) const {
  wl_callback_destroy(callback);
}
void WaylandDeleter::operator()(wl_compositor* compositor) const {
  wl_compositor_destroy(compositor);
}
void WaylandDeleter::operator()(wl_display* display) const {
  wl_display_disconnect(display);
}
void WaylandDeleter::operator()(wl_keyboard* keyboard) const {
  if (Since(keyboard, WL_KEYBOARD_RELEASE_SINCE_VERSION)) {
    wl_keyboard_release(keyboard);
  } else {
    wl_keyboard_destroy(keyboard);
  }
}
void WaylandDeleter::operator()(wl_output* output) const {
  if (Since(output, WL_OUTPUT_RELEASE_SINCE_VERSION)) {
    wl_output_release(output);
  } else {
    wl_output_destroy(output);
  }
}
void WaylandDeleter::operator()(wl_pointer* pointer) const {
  if (Since(pointer, WL_POINTER_RELEASE_SINCE_VERSION)) {
    wl_pointer_release(pointer);
  } else {
    wl_pointer_destroy(pointer);
  }
}
void WaylandDeleter::operator()(wl_registry* registry) const {
  wl_registry_destroy(registry);
}
void WaylandDeleter::operator()(wl_seat* seat) const {
  if (Since(seat, WL_SEAT_RELEASE_SINCE_VERSION)) {
    wl_seat_release(seat);
  } else {
    wl_seat_destroy(seat);
  }
}
void WaylandDeleter::operator()(wl_shm* shm) const {
  wl_shm_destroy(shm);
}
void WaylandDeleter::operator()(wl_subcompositor* subcompositor) const {
  wl_subcompositor_destroy(subcompositor);
}
void WaylandDeleter::operator()(wl_subsurface* subsurface) const {
  wl_subsurface_destroy(subsurface);
}
void WaylandDeleter::operator()(wl_surface* surface) const {
  wl_surface_destroy(surface);
}
void WaylandDeleter::operator()(wp_fractional_scale_manager_v1* manager) const {
  wp_fractional_scale_manager_v1_destroy(manager);
}
void WaylandDeleter::operator()(wp_fractional_scale_v1* scale) const {
  wp_fractional_scale_v1_destroy(scale);
}
void WaylandDeleter::operator()(wp_viewport* viewport) const {
  wp_viewport_destroy(viewport);
}
void WaylandDeleter::operator()(wp_viewporter* viewporter) const {
  wp_viewporter_destroy(viewporter);
}
void WaylandDeleter::operator()(xdg_surface* surface) const {
  xdg_surface_destroy(surface);
}
void WaylandDeleter::operator()(xdg_toplevel* toplevel) const {
  xdg_toplevel_destroy(toplevel);
}
void WaylandDeleter::operator()(xdg_wm_base* base) const {
  xdg_wm_base_destroy(base);
}
void WaylandDeleter::operator()(zwlr_layer_shell_v1* shell) const {
  if (Since(shell, ZWLR_LAYER_SHELL_V1_DESTROY_SINCE_VERSION)) {
    zwlr_layer_shell_v1_destroy(shell);
  } else {
    wl_proxy_destroy(reinterpret_cast<wl_proxy*>(shell));
  }
}
void WaylandDeleter::operator()(zwlr_layer_surface_v1* surface) const {
  zwlr_layer_surface_v1_destroy(surface);
}

}  // namespace velloway::wayland
