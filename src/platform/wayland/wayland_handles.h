#pragma once
// One owner for each Wayland object the program holds: Owned<T> destroys it with its destructor
// request (or, for an object bound at a version without one, forgets it), or disconnects the
// display.
#include <memory>

struct wl_buffer;
struct wl_callback;
struct wl_compositor;
struct wl_display;
struct wl_keyboard;
struct wl_output;
struct wl_pointer;
struct wl_registry;
struct wl_seat;
struct wl_shm;
struct wl_subcompositor;
struct wl_subsurface;
struct wl_surface;
struct wp_fractional_scale_manager_v1;
struct wp_fractional_scale_v1;
struct wp_viewport;
struct wp_viewporter;
struct xdg_surface;
struct xdg_toplevel;
struct xdg_wm_base;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;

namespace velloway::wayland {

struct WaylandDeleter {
  void operator()(wl_buffer* buffer) const;
  void operator()(wl_callback* callback) const;
  void operator()(wl_compositor* compositor) const;
  void operator()(wl_display* display) const;
  void operator()(wl_keyboard* keyboard) const;
  void operator()(wl_output* output) const;
  void operator()(wl_pointer* pointer) const;
  void operator()(wl_registry* registry) const;
  void operator()(wl_seat* seat) const;
  void operator()(wl_shm* shm) const;
  void operator()(wl_subcompositor* subcompositor) const;
  void operator()(wl_subsurface* subsurface) const;
  void operator()(wl_surface* surface) const;
  void operator()(wp_fractional_scale_manager_v1* manager) const;
  void operator()(wp_fractional_scale_v1* scale) const;
  void operator()(wp_viewport* viewport) const;
  void operator()(wp_viewporter* viewporter) const;
  void operator()(xdg_surface* surface) const;
  void operator()(xdg_toplevel* toplevel) const;
  void operator()(xdg_wm_base* base) const;
  void operator()(zwlr_layer_shell_v1* shell) const;
  void operator()(zwlr_layer_surface_v1* surface) const;
};

template <typename T>
using Owned = std::unique_ptr<T, WaylandDeleter>;

}  // namespace velloway::wayland
