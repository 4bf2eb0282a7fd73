#pragma once
// The ordinary window of --window: an xdg_toplevel the user moves, resizes and closes, whose
// size is the screen. The roll's windows are subsurfaces covering it; it shows black where they
// do not reach yet. Closing it destroys them, as an X11 host's end destroys its children.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/geometry.h"
#include "platform/wayland/scaled_surface.h"
#include "platform/wayland/shm_buffer.h"
#include "platform/wayland/wayland_handles.h"

#include <wayland-util.h>

namespace velloway::wayland {

class WaylandBackend;

class WindowHost {
 public:
  // Opens the window; its first configure comes later.
  explicit WindowHost(WaylandBackend& backend);
  WindowHost(const WindowHost&) = delete;
  WindowHost& operator=(const WindowHost&) = delete;

  wl_surface* Surface() const { return surface_.Get(); }
  // Its size in the compositor's logical units.
  platform::PixelSize Logical() const { return logical_; }
  SurfaceScale Scale() const;
  // The title the compositor shows: the caption of the window in it.
  void SetTitle(std::string_view title);
  // Shows its own buffer once configured, and again after a change of size or scale.
  void Paint();
  // A subsurface made or stacked anew takes its place with the host's next commit.
  void TakeChildren();

 private:
  static void OnConfigure(void* data, xdg_surface* surface, std::uint32_t serial);
  static void OnToplevelConfigure(void* data, xdg_toplevel* toplevel, std::int32_t width,
                                  std::int32_t height, wl_array* states);
  // xdg_toplevel's events of versions above the one bound, which never come.
  static void OnConfigureBounds(void* data, xdg_toplevel* toplevel, std::int32_t width,
                                std::int32_t height);
  static void OnCapabilities(void* data, xdg_toplevel* toplevel, wl_array* capabilities);
  static void OnClose(void* data, xdg_toplevel* toplevel);

  WaylandBackend& backend_;
  ScaledSurface surface_;
  Owned<xdg_surface> xdgSurface_;
  Owned<xdg_toplevel> toplevel_;
  BufferSet buffers_;
  platform::PixelSize logical_;
  platform::PixelSize asked_;  // by the last toplevel configure; 0 where the size is ours
  bool configured_ = false;
  bool stale_ = true;
  std::string title_;
};

}  // namespace velloway::wayland
