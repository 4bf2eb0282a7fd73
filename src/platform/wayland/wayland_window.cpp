#include "platform/wayland/wayland_window.h"

#include <wayland-client.h>

#include <limits>
#include <utility>

#include "platform/wayland/wayland_backend.h"
#include "platform/wayland/wayland_output.h"
#include "platform/wayland/window_host.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace velloway::wayland {
namespace {

// Every pixel a buffer may have, whatever its size turns out to be.
constexpr platform::PixelRect kEverywhere{0, 0, std::numeric_limits<int>::max(),
                                          std::numeric_limits<int>::max()};
// Past this many areas waiting, one area around them all is painted: it costs less than merging.
constexpr std::size_t kMostAreas = 64;
// The desktop entry the compositor may show with the window.
constexpr const char* kAppId = "velloway";
constexpr const char* kLayerNamespace = "velloway";

std::vector<platform::PixelRect> Bounded(std::vector<platform::PixelRect> areas) {
  if (areas.size() <= kMostAreas) return areas;
  platform::PixelRect all;
  for (const platform::PixelRect& area : areas) all = all.Union(area);
  return {all};
}

}  // namespace

WaylandWindow::WaylandWindow(WaylandBackend& backend, platform::WindowEvents& events,
                             const platform::WindowStyle& style, std::string_view caption,
                             platform::WindowId id)
    : backend_(backend),
      events_(events),
      id_(id),
      hidesPointer_(style.InvisiblePointer),
      caption_(caption) {
  backend_.AddWindow(*this);
}

WaylandWindow::~WaylandWindow() {
  backend_.RemoveWindow(*this);
  Unmap();
}

void WaylandWindow::SetCaption(std::string_view caption) {
  caption_ = caption;
  if (toplevel_) xdg_toplevel_set_title(toplevel_.get(), caption_.c_str());
  if (inHost_) backend_.host_->SetTitle(caption_);
}

void WaylandWindow::SetBounds(const platform::PixelRect& client) {
  bounds_ = client;
  if (backend_.FullScreen() && !inHost_) {
    const std::uint32_t output = backend_.PlaceOf(client).Output;
    // A layer surface or a fullscreen toplevel stays on the output it was made for.
    if (output != output_) Unmap();
    output_ = output;
  }
  if (shown_ && !surface_) Map();
  InvalidateAll();
}

platform::PixelRect WaylandWindow::EmbedIn(platform::WindowId host) {
  if (backend_.StageHost() != host) return FillHost();
  if (!inHost_) {
    Unmap();
    inHost_ = true;
    backend_.host_->SetTitle(caption_);
    if (shown_) Map();
  }
  return FillHost();
}

platform::PixelRect WaylandWindow::FillHost() {
  if (!inHost_) return {0, 0, bounds_.Width(), bounds_.Height()};
  const platform::PixelSize size = backend_.host_->Scale().Pixels(backend_.host_->Logical());
  bounds_ = {0, 0, size.Width, size.Height};
  return bounds_;
}

void WaylandWindow::Show() {
  shown_ = true;
  if (!surface_) Map();
}

void WaylandWindow::Invalidate(const platform::PixelRect& area) {
  if (area.IsEmpty()) return;
  // The lines shown as sprites, the next frame takes the whole scene again, and the buffers hold
  // the background alone.
  if (sprites_) {
    if (invalid_.empty()) invalid_.push_back(area);
    return;
  }
  invalid_.push_back(area);
  if (invalid_.size() > kMostAreas) invalid_ = Bounded(platform::MergeAreas(std::move(invalid_)));
  if (buffers_) buffers_->Invalidate(area);
}

std::unique_ptr<platform::NativeControl> WaylandWindow::CreateControl(
    const platform::ControlProperties&, platform::ControlEvents&) {
  // The Linux program opens no dialog; a form carries on without a control it cannot have.
  return nullptr;
}

Output* WaylandWindow::OnOutput() const {
  return output_ ? backend_.FindOutput(*output_) : nullptr;
}

bool WaylandWindow::Paces() const {
  if (!surface_ || !configured_ || !shown_) return false;
  if (inHost_) return true;
  const Output* primary = backend_.PrimaryOutput();
  return primary != nullptr && output_ == primary->GlobalName();
}

SurfaceScale WaylandWindow::Scale() const {
  if (inHost_) return backend_.host_->Scale();
  const Output* output = OnOutput();
  if (output == nullptr) output = backend_.PrimaryOutput();
  return output != nullptr ? backend_.ScaleOf(*output) : SurfaceScale{};
}

void WaylandWindow::Map() {
  // Full screen, a window waits for an output where its bounds lie.
  if (backend_.FullScreen() && !inHost_ && OnOutput() == nullptr) return;
  const SurfaceMakers makers = backend_.Makers();
  surface_ = std::make_unique<ScaledSurface>(makers, [this] {
    // A scale the compositor prefers for this output holds for every surface on it.
    if (Output* output = OnOutput(); output && surface_->Preferred120()) {
      output->SetPreferred120(*surface_->Preferred120());
    }
    InvalidateAll();
    backend_.NoteScreens();
  });
  buffers_ = std::make_unique<BufferSet>(backend_.shm_.get());
  wl_surface* surface = surface_->Get();
  if (inHost_) {
    embedded_.reset(wl_subcompositor_get_subsurface(backend_.subcompositor_.get(), surface,
                                                    backend_.host_->Surface()));
    wl_subsurface_set_position(embedded_.get(), 0, 0);
    // Its frames show as they are drawn, not with the host's.
    wl_subsurface_set_desync(embedded_.get());
    backend_.host_->TakeChildren();
    Configured(backend_.host_->Logical());
    return;
  }
  Output* output = OnOutput();
  if (backend_.WindowShell() == Shell::LayerOverlay) {
    layer_.reset(
        zwlr_layer_shell_v1_get_layer_surface(backend_.layerShell_.get(), surface, output->Get(),
                                              ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, kLayerNamespace));
    static const zwlr_layer_surface_v1_listener listener = {OnLayerConfigure, OnLayerClosed};
    zwlr_layer_surface_v1_add_listener(layer_.get(), &listener, this);
    zwlr_layer_surface_v1_set_anchor(
        layer_.get(), ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                          ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    // Over panels too, not beside them.
    zwlr_layer_surface_v1_set_exclusive_zone(layer_.get(), -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(
        layer_.get(), ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
  } else {
    xdgSurface_.reset(xdg_wm_base_get_xdg_surface(backend_.wmBase_.get(), surface));
    static const xdg_surface_listener surfaceListener = {OnXdgConfigure};
    xdg_surface_add_listener(xdgSurface_.get(), &surfaceListener, this);
    toplevel_.reset(xdg_surface_get_toplevel(xdgSurface_.get()));
    static const xdg_toplevel_listener toplevelListener = {OnToplevelConfigure, OnToplevelClose,
                                                           OnConfigureBounds, OnCapabilities};
    xdg_toplevel_add_listener(toplevel_.get(), &toplevelListener, this);
    xdg_toplevel_set_title(toplevel_.get(), caption_.c_str());
    xdg_toplevel_set_app_id(toplevel_.get(), kAppId);
    if (backend_.WindowShell() == Shell::FullScreenToplevel) {
      xdg_toplevel_set_fullscreen(toplevel_.get(), output->Get());
    }
  }
  // The first commit, without a buffer, asks for the configure.
  wl_surface_commit(surface);
}

void WaylandWindow::Unmap() {
  sprites_.reset();
  background_.reset();
  layer_.reset();
  toplevel_.reset();
  xdgSurface_.reset();
  embedded_.reset();
  buffers_.reset();
  surface_.reset();
  configured_ = false;
  attachedSize_.reset();
}

void WaylandWindow::Configured(platform::PixelSize logical) {
  logical_ = logical;
  configured_ = true;
  InvalidateAll();
  Output* output = OnOutput();
  if (output != nullptr && !inHost_ && !(output->Logical() == logical)) {
    output->SetShellSize(logical);
    backend_.NoteScreens();
  }
}

void WaylandWindow::InvalidateAll() {
  damageAll_ = true;
  Invalidate(kEverywhere);
}

void WaylandWindow::OnLayerConfigure(void* data, zwlr_layer_surface_v1* surface,
                                     std::uint32_t serial, std::uint32_t width,
                                     std::uint32_t height) {
  auto& window = *static_cast<WaylandWindow*>(data);
  zwlr_layer_surface_v1_ack_configure(surface, serial);
  platform::PixelSize logical{static_cast<int>(width), static_cast<int>(height)};
  if (logical.Width <= 0 || logical.Height <= 0) {
    const Output* output = window.OnOutput();
    logical = output != nullptr ? output->Logical() : platform::PixelSize{1, 1};
  }
  window.Configured(logical);
}

void WaylandWindow::OnLayerClosed(void* data, zwlr_layer_surface_v1*) {
  auto& window = *static_cast<WaylandWindow*>(data);
  // Its output is gone: the screens change, and the surface is made again where it then lies.
  window.backend_.Post([&backend = window.backend_, id = window.id_] {
    if (WaylandWindow* gone = backend.WindowOf(id)) gone->Unmap();
  });
}

void WaylandWindow::OnToplevelConfigure(void* data, xdg_toplevel*, std::int32_t width,
                                        std::int32_t height, wl_array*) {
  static_cast<WaylandWindow*>(data)->asked_ = {width, height};
}

void WaylandWindow::OnXdgConfigure(void* data, xdg_surface* surface, std::uint32_t serial) {
  auto& window = *static_cast<WaylandWindow*>(data);
  xdg_surface_ack_configure(surface, serial);
  platform::PixelSize logical = window.asked_;
  if (logical.Width <= 0 || logical.Height <= 0) {
    const Output* output = window.OnOutput();
    logical = output != nullptr
                  ? output->Logical()
                  : window.Scale().Logical({window.bounds_.Width(), window.bounds_.Height()});
  }
  window.Configured(logical);
}

void WaylandWindow::OnConfigureBounds(void*, xdg_toplevel*, std::int32_t, std::int32_t) {}
void WaylandWindow::OnCapabilities(void*, xdg_toplevel*, wl_array*) {}

void WaylandWindow::OnToplevelClose(void* data, xdg_toplevel*) {
  auto& window = *static_cast<WaylandWindow*>(data);
  // As the system destroying it: last, since the form drops this object.
  window.backend_.Post([&backend = window.backend_, id = window.id_] {
    if (WaylandWindow* closed = backend.WindowOf(id)) closed->Close();
  });
}

void WaylandWindow::Close() {
  Unmap();
  shown_ = false;
  events_.OnDestroyedBySystem();
}

void WaylandWindow::ScreensChanged() {
  if (shown_ && !surface_) Map();
  // A subsurface covers the ordinary window as it is sized now.
  if (inHost_ && surface_) Configured(backend_.host_->Logical());
  events_.OnDisplayChanged();
}

void WaylandWindow::Paint(bool askFrame) {
  if (!surface_ || !configured_ || !shown_) return;
  const SurfaceScale scale = Scale();
  const platform::PixelSize size = scale.Pixels(logical_);
  const bool resized = attachedSize_ != size || attachedScale_ != scale;
  if (invalid_.empty() && !resized && !askFrame) return;
  const bool drawn = ShowLines(scale, size, resized) || DrawChanges(scale, size, resized);
  if (!drawn && !askFrame) return;
  wl_surface* surface = surface_->Get();
  if (askFrame) backend_.pacer_.Await(wl_surface_frame(surface));
  wl_surface_commit(surface);
}

bool WaylandWindow::ShowLines(const SurfaceScale& scale, platform::PixelSize size, bool resized) {
  // A subsurface is placed in whole units of the surface: at another scale, a line could not be
  // placed on each of its pixels.
  if (scale.Scale120 != 120 || backend_.viewporter_ == nullptr) return LeaveSprites();
  if (sprites_ && invalid_.empty() && !resized) return true;
  Scene scene(size);
  const platform::PixelRect whole{0, 0, size.Width, size.Height};
  events_.OnPaint(scene, whole);
  const std::optional<Color> background = scene.Background();
  if (!background) return LeaveSprites();
  if (!sprites_) {
    sprites_ = std::make_unique<SpriteLayer>(
        SpriteLayer::Makers{backend_.compositor_.get(), backend_.subcompositor_.get(),
                            backend_.shm_.get(), backend_.viewporter_.get()},
        surface_->Get());
  }
  invalid_.clear();
  if (background_ != background || attachedSize_ != size || attachedScale_ != scale) {
    const NextBuffer next = buffers_->Next(size, {whole});
    // Every buffer is still the compositor's: the background waits for one to come back.
    if (next.Buffer == nullptr) {
      invalid_.push_back(whole);
    } else {
      next.Buffer->Canvas().Clip(whole);
      next.Buffer->Canvas().FillRect(whole, *background);
      Attach(*next.Buffer, {whole}, scale, size);
      background_ = background;
    }
  }
  sprites_->Show(scene, size);
  return true;
}

bool WaylandWindow::LeaveSprites() {
  if (!sprites_) return false;
  sprites_.reset();
  background_.reset();
  InvalidateAll();
  return false;
}

bool WaylandWindow::DrawChanges(const SurfaceScale& scale, platform::PixelSize size, bool resized) {
  const std::vector<platform::PixelRect> changed =
      damageAll_ || resized ? std::vector<platform::PixelRect>{kEverywhere}
                            : platform::MergeAreas(std::move(invalid_));
  invalid_.clear();
  if (changed.empty()) return false;
  const NextBuffer next = buffers_->Next(size, changed);
  // Every buffer is still the compositor's: what changed waits for one to come back.
  if (next.Buffer == nullptr) {
    invalid_ = changed;
    return false;
  }
  const platform::PixelRect whole{0, 0, size.Width, size.Height};
  raster::Picture& canvas = next.Buffer->Canvas();
  for (const platform::PixelRect& area : next.ToPaint) {
    const platform::PixelRect part = area.Intersect(whole);
    if (part.IsEmpty()) continue;
    canvas.Clip(part);
    events_.OnPaint(canvas, part);
  }
  Attach(*next.Buffer, changed, scale, size);
  return true;
}

void WaylandWindow::Attach(ShmBuffer& buffer, const std::vector<platform::PixelRect>& changed,
                           const SurfaceScale& scale, platform::PixelSize size) {
  wl_surface* surface = surface_->Get();
  surface_->Apply(scale, logical_);
  wl_surface_attach(surface, buffer.Get(), 0, 0);
  const platform::PixelRect whole{0, 0, size.Width, size.Height};
  for (const platform::PixelRect& area : changed) {
    const platform::PixelRect part = area.Intersect(whole);
    if (!part.IsEmpty()) {
      wl_surface_damage_buffer(surface, part.Left, part.Top, part.Width(), part.Height());
    }
  }
  damageAll_ = false;
  buffer.Hold();
  buffers_->Shown(buffer);
  attachedSize_ = size;
  attachedScale_ = scale;
}

}  // namespace velloway::wayland
