#pragma once
// The forms toolkit's X11 backend: windows on Xlib, each painted through a back buffer of its
// own (an X pixmap) with text through Pango, timers scheduled against the monotonic clock in the
// program's own event loop, monitors through XRandR, SDL_mixer as music device.
//
// The roll plays on a stage. Full screen, the program opens windows of its own over the
// monitors, takes the keyboard, reads the pointer, and ends on input as the Windows saver does;
// screen coordinates are then counted from the primary monitor's corner, as Windows counts
// them. On a host window (the screen-saver daemon's, the root window, a window named on the
// command line, or an ordinary window the backend opens for it), the roll's window is a child
// that covers the host, the host's size is the screen, and input belongs to whoever owns the
// host: the backend reports none and cannot read the pointer, so only the host's end (or
// SIGTERM) ends the program.
// Before Xlib, whose macros (None, Bool) would rename the seam's names.
#include "platform/backend.h"
#include "platform/codepage.h"
#include "platform/file_listing.h"
#include "platform/memory_settings.h"

#include <X11/Xlib.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/pango_text.h"
#include "platform/posix/poll_loop.h"
#include "platform/posix/sdl_music_device.h"
#include "platform/stage_kind.h"

namespace velloway::x11 {

class X11Window;

struct BackendSetup {
  platform::StageKind Stage = platform::StageKind::FullScreen;
  // The host of platform::StageKind::GivenWindow, or of platform::StageKind::Root (the root window
  // when 0).
  ::Window Host = 0;
  // The folder of the script: the script folder to the windows, where relative music names are
  // looked up.
  std::string ScriptDirectory;
  unsigned CodePage = platform::kDefaultCodePage;
};

// The settings as the command line gives them, in memory: nothing is kept between runs.
class X11Backend final : public platform::Backend, private posix::PollLoop::Connection {
 public:
  // Connects to the display DISPLAY names; throws std::runtime_error when it cannot, or when
  // the host window does not exist.
  explicit X11Backend(BackendSetup setup);
  ~X11Backend() override;
  X11Backend(const X11Backend&) = delete;
  X11Backend& operator=(const X11Backend&) = delete;

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
  std::optional<platform::PixelPoint> PointerPosition() override;
  void RunWaitingEvents() override;
  // Stops the music and ends the event loop (RunEventLoop returns 0).
  [[noreturn]] void End() override;

  // The window the roll's window goes into; nothing when it plays full screen.
  std::optional<platform::WindowId> StageHost() const;
  // Runs the events until the last window is gone, or SIGTERM, SIGINT or SIGHUP comes.
  int RunEventLoop();
  // The connection to the X server: what is read back on it comes after the paints sent on it.
  Display* Dpy() const { return display_; }

 private:
  friend class X11TextImage;
  friend class X11Window;

  bool OnHost() const { return stage_ != platform::StageKind::FullScreen; }
  int ScreenNumber() const { return screen_; }
  posix::PangoText& Text() { return *text_; }
  Cursor BlankCursor();
  // Where the primary monitor's corner lies in root-window coordinates.
  platform::PixelPoint Origin();
  void AddWindow(::Window id, X11Window& window);
  void RemoveWindow(::Window id);

  void ReadScreen();
  void OpenOwnWindowHost();
  void WatchHost();
  void HandleEvent(XEvent& event);
  void PaintWindows();
  // The screens changed: every window hears of it.
  void ScreensChanged();
  // The X connection in the event loop.
  int Fd() const override;
  void HandleEvents() override;
  bool HasWindows() const override { return !windows_.empty(); }
  void Paint() override;
  bool ReadyToWait() override;
  bool AfterWait(short revents) override;

  platform::StageKind stage_;
  ::Window host_ = 0;
  bool ownHost_ = false;  // the host is the ordinary window the backend opened
  std::string scriptDirectory_;
  unsigned codePage_;
  Display* display_ = nullptr;
  int screen_ = 0;
  ::Window root_ = 0;
  int randrEventBase_ = -1;
  std::optional<platform::ScreenMetrics> metrics_;
  platform::PixelPoint origin_;
  std::unique_ptr<posix::PangoText> text_;
  Cursor blankCursor_ = 0;
  Atom deleteWindow_ = 0;
  platform::MemorySettings settings_;
  posix::SdlMusicDevice music_;
  std::map<::Window, X11Window*> windows_;
  posix::PollLoop loop_{*this};
};

}  // namespace velloway::x11
