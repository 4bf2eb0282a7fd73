#include "platform/wayland/window_host.h"

#include <wayland-client.h>

#include "platform/wayland/wayland_backend.h"
#include "platform/wayland/wayland_output.h"
#include "xdg-shell-client-protocol.h"

namespace velloway::wayland {
namespace {

// Before the user sizes it, as the X11 program's ordinary window.
constexpr platform::PixelSize kFirstSize{960, 540};
constexpr const char* kAppId = "velloway";

}  // namespace

WindowHost::WindowHost(WaylandBackend& backend)
    : backend_(backend),
      surface_(backend.Makers(),
               [this] {
                 // Another scale or output: its windows are drawn anew at its density.
                 stale_ = true;
                 backend_.NoteScreens();
               }),
      xdgSurface_(xdg_wm_base_get_xdg_surface(backend.wmBase_.get(), surface_.Get())),
      toplevel_(xdg_surface_get_toplevel(xdgSurface_.get())),
      buffers_(backend.shm_.get()),
      logical_(kFirstSize) {
  static const xdg_surface_listener surfaceListener = {OnConfigure};
  xdg_surface_add_listener(xdgSurface_.get(), &surfaceListener, this);
  static const xdg_toplevel_listener toplevelListener = {OnToplevelConfigure, OnClose,
                                                         OnConfigureBounds, OnCapabilities};
  xdg_toplevel_add_listener(toplevel_.get(), &toplevelListener, this);
  xdg_toplevel_set_app_id(toplevel_.get(), kAppId);
  wl_surface_commit(surface_.Get());
}

SurfaceScale WindowHost::Scale() const {
  // The output it entered last, else the primary one, until the compositor prefers a scale.
  const Output* output = surface_.Outputs().empty()
                             ? backend_.PrimaryOutput()
                             : backend_.FindOutput(surface_.Outputs().back());
  return surface_.ScaleOn(output != nullptr ? output->Scale() : 1);
}

void WindowHost::SetTitle(std::string_view title) {
  if (title == title_) return;
  title_ = title;
  xdg_toplevel_set_title(toplevel_.get(), title_.c_str());
}

void WindowHost::Paint() {
  if (!configured_ || !stale_) return;
  const SurfaceScale scale = Scale();
  const platform::PixelSize size = scale.Pixels(logical_);
  const platform::PixelRect whole{0, 0, size.Width, size.Height};
  const NextBuffer next = buffers_.Next(size, {whole});
  if (next.Buffer == nullptr) return;
  next.Buffer->Canvas().Clip(whole);
  next.Buffer->Canvas().FillRect(whole, kBlack);
  surface_.Apply(scale, logical_);
  wl_surface_attach(surface_.Get(), next.Buffer->Get(), 0, 0);
  wl_surface_damage_buffer(surface_.Get(), 0, 0, size.Width, size.Height);
  next.Buffer->Hold();
  buffers_.Shown(*next.Buffer);
  wl_surface_commit(surface_.Get());
  stale_ = false;
}

void WindowHost::TakeChildren() {
  // Before its first configure the host commits nothing; its first buffer brings them.
  if (configured_) wl_surface_commit(surface_.Get());
}

void WindowHost::OnToplevelConfigure(void* data, xdg_toplevel*, std::int32_t width,
                                     std::int32_t height, wl_array*) {
  static_cast<WindowHost*>(data)->asked_ = {width, height};
}

void WindowHost::OnConfigure(void* data, xdg_surface* surface, std::uint32_t serial) {
  auto& host = *static_cast<WindowHost*>(data);
  xdg_surface_ack_configure(surface, serial);
  host.configured_ = true;
  // A size of 0 leaves it to the program: it keeps the one it has.
  if (host.asked_.Width > 0 && host.asked_.Height > 0 && !(host.asked_ == host.logical_)) {
    host.logical_ = host.asked_;
    host.backend_.NoteScreens();
  }
  host.stale_ = true;
}

void WindowHost::OnConfigureBounds(void*, xdg_toplevel*, std::int32_t, std::int32_t) {}
void WindowHost::OnCapabilities(void*, xdg_toplevel*, wl_array*) {}

void WindowHost::OnClose(void* data, xdg_toplevel*) {
  auto& backend = static_cast<WindowHost*>(data)->backend_;
  backend.Post([&backend] { backend.CloseHost(); });
}

}  // namespace velloway::wayland
