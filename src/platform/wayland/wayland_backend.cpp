#include "platform/wayland/wayland_backend.h"

#include <wayland-client.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

#include "fractional-scale-v1-client-protocol.h"
#include "platform/raster/raster_backend.h"
#include "platform/wayland/wayland_output.h"
#include "platform/wayland/wayland_seat.h"
#include "platform/wayland/wayland_window.h"
#include "platform/wayland/window_host.h"
#include "viewporter-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace velloway::wayland {
namespace {

// The versions the backend speaks: damage in buffer pixels needs wl_compositor 4.
constexpr std::uint32_t kCompositorVersion = 4;
constexpr std::uint32_t kWmBaseVersion = 2;
constexpr std::uint32_t kLayerShellVersion = 4;

// The name of the display, which the music claim tells apart (as DISPLAY on X11).
std::string DisplayName() {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  return name != nullptr && *name != '\0' ? name : "wayland-0";
}

template <typename T>
Owned<T> Bind(wl_registry* registry, std::uint32_t name, const wl_interface& interface,
              std::uint32_t offered, std::uint32_t wanted) {
  return Owned<T>(
      static_cast<T*>(wl_registry_bind(registry, name, &interface, std::min(offered, wanted))));
}

}  // namespace

Compositor Connect() {
  // Where libwayland would find no socket it says so on standard error: an X11 session without
  // XDG_RUNTIME_DIR is no error of the program's.
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string name = DisplayName();
  if (std::getenv("WAYLAND_SOCKET") == nullptr && !name.starts_with('/') &&
      (runtime == nullptr || *runtime != '/')) {
    return nullptr;
  }
  return Owned<wl_display>(wl_display_connect(nullptr));
}

WaylandBackend::WaylandBackend(Compositor display, BackendSetup setup)
    : stage_(setup.Stage),
      outputName_(std::move(setup.OutputName)),
      scriptDirectory_(std::move(setup.ScriptDirectory)),
      codePage_(setup.CodePage),
      display_(std::move(display)),
      registry_(wl_display_get_registry(display_.get())),
      music_(DisplayName()) {
  static const wl_registry_listener listener = {OnGlobal, OnGlobalRemove};
  wl_registry_add_listener(registry_.get(), &listener, this);
  // The globals, then what the outputs and the seat tell of themselves.
  for (int round = 0; round < 2; ++round) {
    if (wl_display_roundtrip(display_.get()) < 0) {
      throw std::runtime_error("the Wayland compositor closed the connection");
    }
  }
  if (!compositor_ || !shm_) throw std::runtime_error("the Wayland compositor offers no wl_shm");
  const std::optional<Shell> shell =
      ChooseShell(stage_, {layerShell_ != nullptr, wmBase_ != nullptr});
  if (!shell) throw std::runtime_error("the Wayland compositor offers no shell for windows");
  shell_ = *shell;
  if (std::none_of(outputs_.begin(), outputs_.end(), [](const auto& o) { return o->Known(); })) {
    throw std::runtime_error("the Wayland compositor tells of no output");
  }
  if (!outputName_.empty() && std::none_of(outputs_.begin(), outputs_.end(), [&](const auto& o) {
        return o->Name() == outputName_;
      })) {
    std::string names;
    for (const auto& output : outputs_) {
      if (!output->Name().empty()) names += (names.empty() ? "" : ", ") + output->Name();
    }
    // Before wl_output version 4 (GNOME 43, for one) outputs have no names.
    throw std::runtime_error(
        "no output is named \"" + outputName_ + "\"; " +
        (names.empty() ? "the compositor does not name its outputs" : "the outputs are " + names));
  }
  if (stage_ == platform::StageKind::OwnWindow) host_ = std::make_unique<WindowHost>(*this);
  layout_ = Layout();
  metrics_ = ReadScreen();
  textDpi_ = metrics_.DpiY;
  text_ = std::make_unique<posix::PangoText>(textDpi_);
  screensNoted_ = false;
  posted_.clear();
}

WaylandBackend::~WaylandBackend() {
  music_.Close();
}

void WaylandBackend::OnGlobal(void* data, wl_registry* registry, std::uint32_t name,
                              const char* interface, std::uint32_t version) {
  auto& backend = *static_cast<WaylandBackend*>(data);
  const auto is = [interface](const wl_interface& known) {
    return std::strcmp(interface, known.name) == 0;
  };
  if (is(wl_compositor_interface)) {
    backend.compositor_ =
        Bind<wl_compositor>(registry, name, wl_compositor_interface, version, kCompositorVersion);
  } else if (is(wl_subcompositor_interface)) {
    backend.subcompositor_ =
        Bind<wl_subcompositor>(registry, name, wl_subcompositor_interface, version, 1);
  } else if (is(wl_shm_interface)) {
    backend.shm_ = Bind<wl_shm>(registry, name, wl_shm_interface, version, 1);
  } else if (is(xdg_wm_base_interface)) {
    backend.wmBase_ =
        Bind<xdg_wm_base>(registry, name, xdg_wm_base_interface, version, kWmBaseVersion);
    static const xdg_wm_base_listener listener = {OnPing};
    xdg_wm_base_add_listener(backend.wmBase_.get(), &listener, data);
  } else if (is(zwlr_layer_shell_v1_interface)) {
    backend.layerShell_ = Bind<zwlr_layer_shell_v1>(registry, name, zwlr_layer_shell_v1_interface,
                                                    version, kLayerShellVersion);
  } else if (is(wp_viewporter_interface)) {
    backend.viewporter_ = Bind<wp_viewporter>(registry, name, wp_viewporter_interface, version, 1);
  } else if (is(wp_fractional_scale_manager_v1_interface)) {
    backend.fractionalScale_ = Bind<wp_fractional_scale_manager_v1>(
        registry, name, wp_fractional_scale_manager_v1_interface, version, 1);
  } else if (is(wl_seat_interface) && !backend.seat_) {
    backend.seat_ = std::make_unique<Seat>(backend, registry, name, version);
  } else if (is(wl_output_interface)) {
    backend.outputs_.push_back(
        std::make_unique<Output>(registry, name, version, [&backend] { backend.NoteScreens(); }));
  }
}

void WaylandBackend::OnGlobalRemove(void* data, wl_registry*, std::uint32_t name) {
  auto& backend = *static_cast<WaylandBackend*>(data);
  if (backend.seat_ && backend.seat_->GlobalName() == name) backend.seat_.reset();
  if (std::erase_if(backend.outputs_, [name](const auto& o) { return o->GlobalName() == name; })) {
    backend.NoteScreens();
  }
}

void WaylandBackend::OnPing(void*, xdg_wm_base* base, std::uint32_t serial) {
  xdg_wm_base_pong(base, serial);
}

SurfaceMakers WaylandBackend::Makers() const {
  return {compositor_.get(), viewporter_.get(), fractionalScale_.get()};
}

std::optional<platform::WindowId> WaylandBackend::StageHost() const {
  if (!host_) return std::nullopt;
  return kHostId;
}

std::unique_ptr<platform::NativeWindow> WaylandBackend::CreateNativeWindow(
    platform::WindowEvents& events, const platform::WindowStyle& style, std::string_view caption) {
  return std::make_unique<WaylandWindow>(*this, events, style, caption, nextWindowId_++);
}

void WaylandBackend::AddWindow(WaylandWindow& window) {
  windows_[window.Id()] = &window;
}

void WaylandBackend::RemoveWindow(WaylandWindow& window) {
  windows_.erase(window.Id());
}

WaylandWindow* WaylandBackend::WindowOf(platform::WindowId id) const {
  const auto found = windows_.find(id);
  return found != windows_.end() ? found->second : nullptr;
}

WaylandWindow* WaylandBackend::WindowOf(wl_surface* surface) const {
  if (surface == nullptr) return nullptr;
  for (const auto& [id, window] : windows_) {
    if (window->Surface() == surface) return window;
  }
  return nullptr;
}

Output* WaylandBackend::FindOutput(std::uint32_t globalName) const {
  for (const auto& output : outputs_) {
    if (output->GlobalName() == globalName) return output.get();
  }
  return nullptr;
}

Output* WaylandBackend::FindOutput(wl_output* wanted) const {
  for (const auto& output : outputs_) {
    if (output->Get() == wanted) return output.get();
  }
  return nullptr;
}

platform::TextExtent WaylandBackend::MeasureText(const platform::FontSpec& font,
                                                 std::string_view text) {
  return text_->Measure(font, text);
}

platform::PhaseImages WaylandBackend::CreateTextImages(const platform::FontSpec& font,
                                                       std::string_view text,
                                                       platform::TextImageSpan span,
                                                       platform::PhaseSet phases, Color color,
                                                       Color) {
  // The renderer's images, laid over whatever lies beneath as its frames lay them, or shown as
  // sprites, those drawn together on one sheet.
  auto sheet = std::make_shared<SpriteSheet>();
  return posix::EachWrapped(text_->Draw(font, text, span, phases, color),
                            [&](posix::LineImage drawn) {
                              return std::make_unique<SpriteImage>(std::move(drawn), color, sheet);
                            });
}

void WaylandBackend::PointerAt(wl_surface* surface, double x, double y) {
  const WaylandWindow* window = WindowOf(surface);
  if (window == nullptr) return;
  const SurfaceScale scale = window->Scale();
  pointerInWindow_ = {scale.PixelsAt(x), scale.PixelsAt(y)};
  pointer_ = {window->Bounds().Left + pointerInWindow_.X,
              window->Bounds().Top + pointerInWindow_.Y};
  if (!firstPointer_) firstPointer_ = pointer_;
}

std::optional<platform::PixelPoint> WaylandBackend::PointerPosition() {
  // In an ordinary window the pointer is the user's, as on an X11 host.
  if (!FullScreen()) return std::nullopt;
  if (!firstPointer_) return platform::PixelPoint{};
  return platform::PixelPoint{pointer_.X - firstPointer_->X, pointer_.Y - firstPointer_->Y};
}

void WaylandBackend::End() {
  music_.Close();
  if (std::exchange(readPrepared_, false)) wl_display_cancel_read(display_.get());
  loop_.Stop(0);
}

}  // namespace velloway::wayland
