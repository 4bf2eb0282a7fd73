#pragma once
// The forms toolkit's Wayland backend: libwayland-client and no toolkit. Each window is a surface
// of its own on its output, its lines the same Pango line images the renderer composites, shown
// as subsurfaces the compositor moves or drawn into shared-memory buffers; frames are paced by
// the compositor's frame callbacks; timers, end signals and the compositor's descriptor share the
// native programs' one poll loop.
//
// Full screen, each window is an overlay-layer surface (zwlr_layer_shell_v1) on the output its
// bounds cover, or where no layer shell is offered an xdg_toplevel made fullscreen there. The
// primary output is the one named, else the first the compositor announces; the others lie to
// its right in the order announced (Wayland tells a client no layout). The screens are in the
// outputs' real pixels, their DPI 96 times their scale. In an ordinary window (--window), the
// roll's window is a subsurface covering an xdg_toplevel the backend opens, whose size is the
// screen; input there is the user's, as on an X11 host: none is delivered, and the pointer
// cannot be read.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/backend.h"
#include "platform/codepage.h"
#include "platform/file_listing.h"
#include "platform/memory_settings.h"
#include "platform/posix/pango_text.h"
#include "platform/posix/poll_loop.h"
#include "platform/posix/sdl_music_device.h"
#include "platform/stage_kind.h"
#include "platform/wayland/frame_pacer.h"
#include "platform/wayland/scaled_surface.h"
#include "platform/wayland/surface_rules.h"
#include "platform/wayland/wayland_handles.h"

namespace velloway::wayland {

class Output;
class Seat;
class WaylandWindow;
class WindowHost;

struct BackendSetup {
  // platform::StageKind::FullScreen, or OwnWindow for an ordinary window.
  platform::StageKind Stage = platform::StageKind::FullScreen;
  // The primary output's name; empty: the first the compositor announces.
  std::string OutputName;
  // The folder of the script, where relative music names are looked up.
  std::string ScriptDirectory;
  unsigned CodePage = platform::kDefaultCodePage;
};

// A connection to a compositor, as a program holds it until a backend takes it.
using Compositor = Owned<wl_display>;

// The compositor WAYLAND_DISPLAY names (wayland-0 when it is unset), connected; null when none
// answers there.
Compositor Connect();

// The settings as the command line gives them, in memory: nothing is kept between runs.
class WaylandBackend final : public platform::Backend, private posix::PollLoop::Connection {
 public:
  // Takes the connection; throws std::runtime_error when the compositor offers too little, or
  // no output has the name asked for.
  WaylandBackend(Compositor display, BackendSetup setup);
  ~WaylandBackend() override;
  WaylandBackend(const WaylandBackend&) = delete;
  WaylandBackend& operator=(const WaylandBackend&) = delete;

  std::unique_ptr<platform::NativeWindow> CreateNativeWindow(platform::WindowEvents& events,
                                                             const platform::WindowStyle& style,
                                                             std::string_view caption) override;
  std::unique_ptr<platform::TimerDriver> CreateTimer(std::function<void()> onTick) override;
  std::unique_ptr<platform::FrameDriver> CreateFrameDriver(
      std::function<void(const platform::DisplayFrame&)> onFrame) override;
  platform::TextExtent MeasureText(const platform::FontSpec& font, std::string_view text) override;
  platform::PhaseImages CreateTextImages(const platform::FontSpec& font, std::string_view text,
                                         platform::TextImageSpan span, platform::PhaseSet phases,
                                         Color color, Color background) override;
  platform::ScreenMetrics Screen() override;
  std::string ScriptFolder() override { return scriptDirectory_; }
  std::vector<std::string> ListFiles(std::string_view directory,
                                     std::string_view pattern) override {
    return platform::ListFiles(directory, pattern);
  }
  platform::SettingsStore& Settings() override { return settings_; }
  platform::MusicDevice& Music() override { return music_; }
  platform::ScriptFileNames FileNames() override { return platform::ScriptFileNames::Posix; }
  unsigned ScriptCodePage() override { return codePage_; }
  // In the virtual screen's pixels, counted from where the pointer was first seen over one of
  // the program's surfaces (Wayland tells no position before); nothing in an ordinary window.
  std::optional<platform::PixelPoint> PointerPosition() override;
  void RunWaitingEvents() override;
  // Stops the music and ends the event loop (RunEventLoop returns 0).
  [[noreturn]] void End() override;

  // The ordinary window the roll's window goes into; nothing when it plays full screen.
  std::optional<platform::WindowId> StageHost() const;
  // Runs the events until the last window is gone (0), the compositor is lost (1, said on
  // standard error), or SIGTERM, SIGINT or SIGHUP comes (0).
  int RunEventLoop();

 private:
  friend class Seat;
  friend class WaylandWindow;
  friend class WindowHost;

  // What StageHost names the ordinary window by: no window of the program has it.
  static constexpr platform::WindowId kHostId = -1;

  // One output's place in the virtual screen.
  struct Placed {
    std::uint32_t Output;  // its global name
    platform::PixelRect Bounds;
    SurfaceScale Scale;
  };

  static void OnGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t version);
  static void OnGlobalRemove(void* data, wl_registry* registry, std::uint32_t name);
  static void OnPing(void* data, xdg_wm_base* base, std::uint32_t serial);

  // --- for the windows, the host and the seat ---
  // What happens to the windows runs from HandleEvents, after the listeners have returned: a
  // handler may end the program, which unwinds, and never through libwayland.
  void Post(std::function<void()> event) { posted_.push_back(std::move(event)); }
  // Something the screens are made of changed: the windows hear of it if they did.
  void NoteScreens();
  SurfaceMakers Makers() const;
  Shell WindowShell() const { return shell_; }
  bool FullScreen() const { return stage_ == platform::StageKind::FullScreen; }
  Output* FindOutput(std::uint32_t globalName) const;
  Output* FindOutput(wl_output* output) const;
  // The output whose place bounds cover, else the one it overlaps most, else the primary.
  const Placed& PlaceOf(const platform::PixelRect& bounds);
  WaylandWindow* WindowOf(wl_surface* surface) const;
  WaylandWindow* WindowOf(platform::WindowId id) const;
  void AddWindow(WaylandWindow& window);
  void RemoveWindow(WaylandWindow& window);
  // What the seat tells: the pointer over a surface at its logical (x, y), a button, a key, the
  // keyboard gone from a surface.
  void PointerAt(wl_surface* surface, double x, double y);
  void Button(wl_surface* surface, platform::MouseButton button, bool down);
  void KeyDown(wl_surface* surface);
  void KeyboardLeft(wl_surface* surface);
  // The user closed the ordinary window.
  void CloseHost();
  // The connection failed: the loop ends, and RunEventLoop says why.
  void Lose();

  // --- the screens ---
  Output* PrimaryOutput() const;
  SurfaceScale ScaleOf(const Output& output) const;
  std::vector<Placed> Layout() const;
  platform::ScreenMetrics ReadScreen() const;
  void ScreensChanged();

  // --- the connection in the event loop ---
  int Fd() const override;
  void HandleEvents() override;
  bool HasWindows() const override { return !windows_.empty(); }
  void Paint() override;
  bool ReadyToWait() override;
  bool AfterWait(short revents) override;
  void Deliver();
  WaylandWindow* PacingWindow() const;

  platform::StageKind stage_;
  std::string outputName_;
  std::string scriptDirectory_;
  unsigned codePage_;
  Owned<wl_display> display_;
  Owned<wl_registry> registry_;
  Owned<wl_compositor> compositor_;
  Owned<wl_subcompositor> subcompositor_;
  Owned<wl_shm> shm_;
  Owned<xdg_wm_base> wmBase_;
  Owned<zwlr_layer_shell_v1> layerShell_;
  Owned<wp_viewporter> viewporter_;
  Owned<wp_fractional_scale_manager_v1> fractionalScale_;
  std::unique_ptr<Seat> seat_;
  std::vector<std::unique_ptr<Output>> outputs_;  // in the order announced
  Shell shell_ = Shell::LayerOverlay;
  platform::ScreenMetrics metrics_;  // as the windows last heard of them
  std::vector<Placed> layout_;
  std::unique_ptr<posix::PangoText> text_;
  int textDpi_ = 0;
  std::optional<platform::PixelPoint> firstPointer_;
  platform::PixelPoint pointer_;
  platform::PixelPoint pointerInWindow_;
  platform::MemorySettings settings_;
  posix::SdlMusicDevice music_;
  std::map<platform::WindowId, WaylandWindow*> windows_;
  platform::WindowId nextWindowId_ = 1;
  std::vector<std::function<void()>> posted_;
  bool screensNoted_ = false;
  bool readPrepared_ = false;
  std::optional<std::string> lost_;
  posix::PollLoop loop_{*this};
  FramePacer pacer_{loop_, [this] { return Screen().RefreshHz; },
                    [this](auto event) { Post(std::move(event)); }};
  // Last, so that it goes first, before the globals its surface was made with.
  std::unique_ptr<WindowHost> host_;
};

}  // namespace velloway::wayland
