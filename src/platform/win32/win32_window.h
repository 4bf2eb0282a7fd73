#pragma once
#include <windows.h>

#include <memory>
#include <string_view>

#include "platform/win32/win32_controls.h"
#include "platform/win32/win32_handles.h"
#include "platform/window_system.h"

namespace velloway::win32 {

class Win32Backend;

// A registered window class, unregistered when the object goes.
class WindowClass {
 public:
  WindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, HCURSOR cursor,
              HICON icon = nullptr);
  ~WindowClass();
  WindowClass(const WindowClass&) = delete;
  WindowClass& operator=(const WindowClass&) = delete;
  const wchar_t* Name() const { return name_; }

 private:
  HINSTANCE instance_;
  const wchar_t* name_;
  ATOM atom_;
};

// The window procedure's per-window slots (cbWndExtra): the owning object, then the backend.
inline constexpr int kObjectSlot = 0;
inline constexpr int kBackendSlot = static_cast<int>(sizeof(LONG_PTR));
inline constexpr int kSlotBytes = 2 * static_cast<int>(sizeof(LONG_PTR));

// A form's top-level window. Destroying the object destroys the window; when the system destroys
// the window first (with its owner, or closed from its system menu), the form hears of it.
class Win32Window final : public platform::NativeWindow {
 public:
  // The window, hidden; null when the system does not make it (the reason goes to the debugger
  // output).
  static std::unique_ptr<Win32Window> Make(Win32Backend& backend, platform::WindowEvents& events,
                                           const platform::WindowStyle& style,
                                           std::string_view caption);
  ~Win32Window() override;
  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  platform::WindowId Id() const override;
  void SetCaption(std::string_view caption) override;
  void SetBounds(const platform::PixelRect& client) override;
  void KeepAboveOthers() override;
  platform::PixelRect EmbedIn(platform::WindowId host) override;
  platform::PixelRect FillHost() override;
  platform::PixelRect OuterBounds(const platform::PixelRect& client) const override;
  void Show() override;
  void Invalidate(const platform::PixelRect& area) override;
  std::unique_ptr<platform::NativeControl> CreateControl(
      const platform::ControlProperties& properties, platform::ControlEvents& events) override;

  // The window procedure of the form windows' class.
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  // Leaves window_ empty when the system does not make the window.
  Win32Window(Win32Backend& backend, platform::WindowEvents& events,
              const platform::WindowStyle& style, std::string_view caption);
  // Handles a message for this window; the object may be gone when an event handler returns.
  LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // This program has lost the activation to the process activated (0: to no window, as yet):
  // another program's window taking it tells the form.
  void FollowActivation(DWORD activated);
  // The control a WM_CTLCOLOR* message is about: the child itself, or the list of a drop-down.
  Win32Control* ControlForColours(HWND child) const;

  Win32Backend& backend_;
  platform::WindowEvents& events_;
  bool invisiblePointer_;
  bool minimizable_;
  bool destroyingOurselves_ = false;
  int nextControlId_ = 100;  // below: IDOK and IDCANCEL, which Enter and Escape send
  bool hasControls_ = false;
  HWND lastFocus_ = nullptr;  // the control that had the focus when the window was deactivated
  HWND host_ = nullptr;       // the window this one is embedded in
  UniqueWindow window_;
};

}  // namespace velloway::win32
