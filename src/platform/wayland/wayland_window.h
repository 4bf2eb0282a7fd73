#pragma once
// A form's window on Wayland: a surface of its own, given its role when it is shown (an overlay
// layer surface or an xdg_toplevel fullscreen on the output its bounds cover, or a subsurface of
// the ordinary window it is embedded in), drawn nothing before its first configure; then, at
// scale 1, its lines shown as subsurfaces over a buffer of the background, else drawn into
// buffers that each repaint only what changed since they were last drawn, only those areas
// damaged.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/wayland/line_sprites.h"
#include "platform/wayland/scaled_surface.h"
#include "platform/wayland/shm_buffer.h"
#include "platform/wayland/wayland_handles.h"

#include <wayland-util.h>
#include "platform/window_system.h"

namespace velloway::wayland {

class WaylandBackend;
class Output;

class WaylandWindow final : public platform::NativeWindow {
 public:
  WaylandWindow(WaylandBackend& backend, platform::WindowEvents& events,
                const platform::WindowStyle& style, std::string_view caption,
                platform::WindowId id);
  ~WaylandWindow() override;
  WaylandWindow(const WaylandWindow&) = delete;
  WaylandWindow& operator=(const WaylandWindow&) = delete;

  platform::WindowId Id() const override { return id_; }
  void SetCaption(std::string_view caption) override;
  void SetBounds(const platform::PixelRect& client) override;
  // The overlay layer and fullscreen are above the other windows already.
  void KeepAboveOthers() override {}
  platform::PixelRect EmbedIn(platform::WindowId host) override;
  platform::PixelRect FillHost() override;
  // The compositor draws frames, if any, outside the surface.
  platform::PixelRect OuterBounds(const platform::PixelRect& client) const override {
    return client;
  }
  void Show() override;
  void Invalidate(const platform::PixelRect& area) override;
  // As on X11, the Linux program opens no dialog: no native controls (null).
  std::unique_ptr<platform::NativeControl> CreateControl(
      const platform::ControlProperties& properties, platform::ControlEvents& events) override;

  // --- for the backend ---
  platform::WindowEvents& Events() { return events_; }
  wl_surface* Surface() const { return surface_ ? surface_->Get() : nullptr; }
  bool HidesPointer() const { return hidesPointer_; }
  bool Embedded() const { return inHost_; }
  // Shown, configured, and covering the primary output or the ordinary window.
  bool Paces() const;
  // Where its pixels lie in the virtual screen.
  const platform::PixelRect& Bounds() const { return bounds_; }
  SurfaceScale Scale() const;
  // Draws what changed into a free buffer and commits it, with the frame callback when asked.
  void Paint(bool askFrame);
  // The screens changed: the surface follows its output, and the form hears of it.
  void ScreensChanged();
  // The compositor closed it, as the system destroys a window: the form hears of it last, and
  // may drop this object.
  void Close();

 private:
  static void OnLayerConfigure(void* data, zwlr_layer_surface_v1* surface, std::uint32_t serial,
                               std::uint32_t width, std::uint32_t height);
  static void OnLayerClosed(void* data, zwlr_layer_surface_v1* surface);
  static void OnXdgConfigure(void* data, xdg_surface* surface, std::uint32_t serial);
  static void OnToplevelConfigure(void* data, xdg_toplevel* toplevel, std::int32_t width,
                                  std::int32_t height, wl_array* states);
  // xdg_toplevel's events of versions above the one bound, which never come.
  static void OnConfigureBounds(void* data, xdg_toplevel* toplevel, std::int32_t width,
                                std::int32_t height);
  static void OnCapabilities(void* data, xdg_toplevel* toplevel, wl_array* capabilities);
  static void OnToplevelClose(void* data, xdg_toplevel* toplevel);

  // The surface and its role on the output its bounds cover, or in the host; made when shown.
  void Map();
  void Unmap();
  // Its size in logical units, once configured.
  void Configured(platform::PixelSize logical);
  Output* OnOutput() const;
  void InvalidateAll();
  // The frame as sprites over the background, where the scale lets lines be placed on pixels
  // and the form paints nothing else (true); false when it is to be drawn in the buffer.
  bool ShowLines(const SurfaceScale& scale, platform::PixelSize size, bool resized);
  // Back to drawing in the buffer, all of it again: false.
  bool LeaveSprites();
  // What changed since the last frame drawn in a free buffer, attached; false when none was
  // free or nothing changed.
  bool DrawChanges(const SurfaceScale& scale, platform::PixelSize size, bool resized);
  void Attach(ShmBuffer& buffer, const std::vector<platform::PixelRect>& changed,
              const SurfaceScale& scale, platform::PixelSize size);

  WaylandBackend& backend_;
  platform::WindowEvents& events_;
  const platform::WindowId id_;
  const bool hidesPointer_;
  std::string caption_;
  platform::PixelRect bounds_{0, 0, 1, 1};
  bool shown_ = false;
  bool inHost_ = false;                  // a subsurface of the ordinary window
  std::optional<std::uint32_t> output_;  // full screen: the output's global name
  std::unique_ptr<ScaledSurface> surface_;
  Owned<zwlr_layer_surface_v1> layer_;
  Owned<xdg_surface> xdgSurface_;
  Owned<xdg_toplevel> toplevel_;
  Owned<wl_subsurface> embedded_;
  bool configured_ = false;
  platform::PixelSize logical_;
  platform::PixelSize asked_;  // by the last toplevel configure
  std::unique_ptr<BufferSet> buffers_;
  std::unique_ptr<SpriteLayer> sprites_;      // while the lines are sprites
  std::optional<Color> background_;           // the attached buffer's, all over, under sprites
  std::vector<platform::PixelRect> invalid_;  // since the last commit
  bool damageAll_ = true;
  std::optional<platform::PixelSize> attachedSize_;
  std::optional<SurfaceScale> attachedScale_;
};

}  // namespace velloway::wayland
