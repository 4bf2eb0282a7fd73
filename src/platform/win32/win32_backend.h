#pragma once
// The forms toolkit's Windows backend: top-level windows of our own class painted with GDI
// through a back buffer, timers through the message loop, the registry as settings store, the
// media system as music device.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/backend.h"
#include "platform/desktop.h"
#include "platform/win32/gdi_canvas.h"
#include "platform/win32/mci_music_device.h"
#include "platform/win32/registry_settings.h"
#include "platform/win32/system_calls.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_window.h"

namespace velloway::win32 {

class Win32FrameDriver;
class Win32Timer;

class Win32Backend final : public platform::Backend, public platform::Desktop {
 public:
  explicit Win32Backend(HINSTANCE instance = GetModuleHandleW(nullptr));
  // A backend whose intentions come down to calls of this table instead of the system's.
  Win32Backend(HINSTANCE instance, SystemCalls& calls);
  ~Win32Backend() override;
  Win32Backend(const Win32Backend&) = delete;
  Win32Backend& operator=(const Win32Backend&) = delete;

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
  // The scripts lie beside the program.
  std::string ScriptFolder() override { return ProgramFolder(); }
  std::vector<std::string> ListFiles(std::string_view directory, std::string_view pattern) override;
  platform::SettingsStore& Settings() override { return settings_; }
  platform::MusicDevice& Music() override { return music_; }
  platform::ScriptFileNames FileNames() override { return platform::ScriptFileNames::Windows; }
  // The system's code page, as a program without Unicode support reads text.
  unsigned ScriptCodePage() override;
  std::optional<platform::PixelPoint> PointerPosition() override;
  std::string ProgramFolder() override;
  bool HostExists(platform::WindowId host) override;
  void ActivateOwnerOf(platform::WindowId host) override;
  bool FindRunningCopy(std::span<const std::string_view> captions) override;
  // A mutex in the user's session: of two starts at the same moment, the second waits.
  std::unique_ptr<platform::RunningCopyLock> ClaimRunningCopyLock() override;
  void RunWaitingEvents() override;
  [[noreturn]] void End() override;

  // Runs the message loop until the last window is gone and returns the quit code. Returns at
  // once when no window is open: 0, or 1 when a window the program asked for could not be made.
  // Between messages it runs the frames that fall due.
  int RunMessageLoop();
  int OpenWindowCount() const { return openWindows_; }

 private:
  friend class Win32FrameDriver;
  friend class Win32Timer;
  friend class Win32Window;

  static LRESULT CALLBACK AppWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // The hidden window that owns forms kept off the taskbar, receives timer ticks and decides
  // when the program ends; null when windows cannot be made.
  HWND AppWindow() const { return appWindow_.get(); }
  HCURSOR BlankCursor();
  SystemCalls& Calls() { return calls_; }
  const wchar_t* FormClassName() const { return formClass_.Name(); }
  void WindowOpened() { ++openWindows_; }
  // Windows with controls take Tab, Enter and Escape as a dialog does.
  void AddDialogWindow(HWND window) { dialogWindows_.insert(window); }
  void ForgetDialogWindow(HWND window) { dialogWindows_.erase(window); }
  // Handles the dialog keys of a message for one of those windows; true when it did.
  bool HandleDialogKeys(MSG& message);
  void WindowClosed();
  void PaintWindow(HWND window, platform::WindowEvents& events);
  UINT_PTR AddTimer(Win32Timer& timer);
  void RemoveTimer(UINT_PTR id) { timers_.erase(id); }
  void OnTimer(UINT_PTR id);
  void AddFrameDriver(Win32FrameDriver& driver) { frameDrivers_.push_back(&driver); }
  void RemoveFrameDriver(Win32FrameDriver& driver) { std::erase(frameDrivers_, &driver); }
  // Waits until a message comes or a frame falls due, and runs that frame.
  void WaitForMessageOrFrame();
  // Whether the compositor's vertical blank paces frames here: measured once.
  bool VerticalBlankWaits(int refreshHz);
  platform::ScreenMetrics ReadScreen();
  // The screens changed: they are read afresh on the next question.
  void ForgetScreen() { screen_.reset(); }

  HINSTANCE instance_;
  int openWindows_ = 0;
  UniqueModule shcore_;
  FontCache fonts_;
  Surface backBuffer_;
  RegistrySettings settings_;
  Win32SystemCalls systemCalls_;
  SystemCalls& calls_;
  MciMusicDevice music_;
  WindowClass appClass_;
  WindowClass formClass_;  // before the windows of the class, which go first
  bool windowRefused_ = false;
  UniqueCursor blankCursor_;
  std::optional<platform::ScreenMetrics> screen_;
  UINT_PTR nextTimerId_ = 1;
  std::unordered_map<UINT_PTR, Win32Timer*> timers_;
  std::vector<Win32FrameDriver*> frameDrivers_;
  std::optional<bool> verticalBlankWaits_;
  std::unordered_set<HWND> dialogWindows_;
  UniqueWindow appWindow_;  // last: destroyed first, while the rest still stands
};

}  // namespace velloway::win32
