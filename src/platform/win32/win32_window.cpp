#include <windows.h>

#include "platform/win32/win32_window.h"

#include <optional>
#include <string>

#include "platform/wide_text.h"
#include "platform/win32/debug_output.h"
#include "platform/win32/win32_backend.h"

namespace velloway::win32 {
namespace {

std::int16_t LowSigned(LPARAM value) {
  return static_cast<std::int16_t>(value & 0xFFFF);
}

std::int16_t HighSigned(LPARAM value) {
  return static_cast<std::int16_t>((value >> 16) & 0xFFFF);
}

struct ButtonChange {
  platform::MouseButton Button;
  bool Down;
};

// The button a mouse-button message is about, and whether it went down; nothing for other
// messages.
std::optional<ButtonChange> ButtonChangeOf(UINT message, WPARAM wParam) {
  using platform::MouseButton;
  const MouseButton extra =
      GET_XBUTTON_WPARAM(wParam) == XBUTTON1 ? MouseButton::X1 : MouseButton::X2;
  switch (message) {
    case WM_LBUTTONDOWN:
      return ButtonChange{MouseButton::Left, true};
    case WM_LBUTTONUP:
      return ButtonChange{MouseButton::Left, false};
    case WM_RBUTTONDOWN:
      return ButtonChange{MouseButton::Right, true};
    case WM_RBUTTONUP:
      return ButtonChange{MouseButton::Right, false};
    case WM_MBUTTONDOWN:
      return ButtonChange{MouseButton::Middle, true};
    case WM_MBUTTONUP:
      return ButtonChange{MouseButton::Middle, false};
    case WM_XBUTTONDOWN:
      return ButtonChange{extra, true};
    case WM_XBUTTONUP:
      return ButtonChange{extra, false};
    default:
      return std::nullopt;
  }
}

// The timer of a window that has lost the activation to no window, and how often it looks again.
constexpr UINT_PTR kActivationWatchTimer = 1;
constexpr UINT kActivationWatchMs = 50;

// The process that took the activation from this program: that of the thread WM_ACTIVATEAPP
// names, or, where the system names none (Wine, for another process), the foreground window's.
// 0 when the activation went to no window (as yet: see FollowActivation), the desktop window
// among them: Wine gives it the activation when the focus leaves Wine's windows.
DWORD ActivatedProcess(DWORD threadId) {
  if (threadId != 0) {
    const UniqueHandle thread(OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, threadId));
    return thread ? GetProcessIdOfThread(thread.get()) : 0;
  }
  DWORD process = 0;
  const HWND foreground = GetForegroundWindow();
  if (foreground != nullptr && foreground != GetDesktopWindow()) {
    GetWindowThreadProcessId(foreground, &process);
  }
  return process;
}

}  // namespace

WindowClass::WindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, HCURSOR cursor,
                         HICON icon)
    : instance_(instance), name_(name) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  // No CS_HREDRAW/CS_VREDRAW: a resize repaints only the area it uncovers.
  windowClass.lpfnWndProc = procedure;
  windowClass.cbWndExtra = kSlotBytes;
  windowClass.hInstance = instance;
  windowClass.hCursor = cursor;
  windowClass.hIcon = icon;
  windowClass.hbrBackground = nullptr;  // we paint every pixel ourselves
  windowClass.lpszClassName = name;
  atom_ = RegisterClassExW(&windowClass);
  if (atom_ == 0) {
    ReportFailure(L"the window class " + std::wstring(name) + L" cannot be registered",
                  GetLastError());
  }
}

WindowClass::~WindowClass() {
  if (atom_ != 0) UnregisterClassW(name_, instance_);
}

std::unique_ptr<Win32Window> Win32Window::Make(Win32Backend& backend,
                                               platform::WindowEvents& events,
                                               const platform::WindowStyle& style,
                                               std::string_view caption) {
  std::unique_ptr<Win32Window> window(new Win32Window(backend, events, style, caption));
  if (!window->window_) return nullptr;
  return window;
}

Win32Window::Win32Window(Win32Backend& backend, platform::WindowEvents& events,
                         const platform::WindowStyle& style, std::string_view caption)
    : backend_(backend),
      events_(events),
      invisiblePointer_(style.InvisiblePointer),
      minimizable_(style.Border != platform::BorderStyle::None) {
  DWORD windowStyle = 0;
  int position = 0;
  if (style.Border == platform::BorderStyle::None) {
    windowStyle = WS_POPUP;
  } else {
    // A fixed border: a caption with its system menu and minimize box, no sizing frame.
    windowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    position = CW_USEDEFAULT;
  }
  DWORD extendedStyle = 0;
  HWND owner = nullptr;
  if (!style.ShowInTaskbar) {
    // An owned window gets no taskbar button; without an owner a tool window does the same.
    owner = backend.AppWindow();
    if (owner == nullptr) extendedStyle |= WS_EX_TOOLWINDOW;
  }
  const std::wstring text = platform::Utf8ToWide(caption);
  // WM_NCCREATE takes ownership of the handle (window_), so that messages sent during
  // creation already find this object.
  const HWND created =
      CreateWindowExW(extendedStyle, backend.FormClassName(), text.c_str(), windowStyle, position,
                      position, position, position, owner, nullptr, backend.instance_, this);
  if (created == nullptr) {
    const DWORD error = GetLastError();
    ReportFailure(L"the window \"" + text + L"\" cannot be made", error);
  }
}

Win32Window::~Win32Window() {
  if (window_) {
    destroyingOurselves_ = true;
    window_.reset();
  }
}

platform::WindowId Win32Window::Id() const {
  return reinterpret_cast<platform::WindowId>(window_.get());
}

void Win32Window::SetCaption(std::string_view caption) {
  if (!window_) return;
  SetWindowTextW(window_.get(), platform::Utf8ToWide(caption).c_str());
}

void Win32Window::SetBounds(const platform::PixelRect& client) {
  if (!window_) return;
  const platform::PixelRect outer = OuterBounds(client);
  SetWindowPos(window_.get(), nullptr, outer.Left, outer.Top, outer.Width(), outer.Height(),
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Window::KeepAboveOthers() {
  if (!window_) return;
  // The topmost band; SWP_NOZORDER would keep the window out of it.
  backend_.Calls().SetWindowPos(window_.get(), HWND_TOPMOST, 0, 0, 0, 0,
                                SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

platform::PixelRect Win32Window::EmbedIn(platform::WindowId host) {
  if (!window_) return {};
  SystemCalls& calls = backend_.Calls();
  const HWND window = window_.get();
  const HWND parent = reinterpret_cast<HWND>(host);
  // As SetParent asks of a top-level window that becomes a child: WS_CHILD instead of WS_POPUP.
  const auto style = static_cast<DWORD>(calls.GetWindowLongA(window, GWL_STYLE));
  calls.SetWindowLongA(window, GWL_STYLE, static_cast<LONG>((style | WS_CHILD) & ~WS_POPUP));
  calls.SetParent(window, parent);
  calls.SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  host_ = parent;
  return FillHost();
}

platform::PixelRect Win32Window::FillHost() {
  if (!window_) return {};
  const HWND window = window_.get();
  RECT pane{};
  RECT client{};
  GetClientRect(window, &client);
  if (host_ != nullptr && GetClientRect(host_, &pane) &&
      (pane.right != client.right || pane.bottom != client.bottom)) {
    backend_.Calls().SetWindowPos(window, nullptr, 0, 0, pane.right, pane.bottom,
                                  SWP_NOZORDER | SWP_NOACTIVATE);
    GetClientRect(window, &client);
  }
  return {0, 0, client.right, client.bottom};
}

platform::PixelRect Win32Window::OuterBounds(const platform::PixelRect& client) const {
  if (!window_) return client;
  // The frame goes around the client area: a bordered window is larger than its client.
  RECT outer{client.Left, client.Top, client.Right, client.Bottom};
  AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongPtrW(window_.get(), GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(window_.get(), GWL_EXSTYLE)));
  return {outer.left, outer.top, outer.right, outer.bottom};
}

void Win32Window::Show() {
  if (!window_) return;
  ShowWindow(window_.get(), SW_SHOW);
  // The first control in the tab order has the focus when the window opens.
  if (hasControls_) {
    if (const HWND first = GetNextDlgTabItem(window_.get(), nullptr, FALSE)) SetFocus(first);
  }
}

std::unique_ptr<platform::NativeControl> Win32Window::CreateControl(
    const platform::ControlProperties& properties, platform::ControlEvents& events) {
  const int id = properties.IsDefault ? IDOK : properties.IsCancel ? IDCANCEL : nextControlId_++;
  std::unique_ptr<Win32Control> control = Win32Control::Make(window_.get(), backend_.instance_, id,
                                                             properties, events, backend_.fonts_);
  if (!control) return nullptr;
  if (!hasControls_) {
    hasControls_ = true;
    backend_.AddDialogWindow(window_.get());
  }
  return control;
}

Win32Control* Win32Window::ControlForColours(HWND child) const {
  if (Win32Control* control = Win32Control::Of(child)) return control;
  // The open list of a drop-down is a window of its own.
  struct Search {
    HWND list;
    Win32Control* owner;
  } search{child, nullptr};
  EnumChildWindows(
      window_.get(),
      [](HWND candidate, LPARAM data) -> BOOL {
        auto* state = reinterpret_cast<Search*>(data);
        COMBOBOXINFO info{};
        info.cbSize = sizeof(info);
        if (!GetComboBoxInfo(candidate, &info) || info.hwndList != state->list) return TRUE;
        state->owner = Win32Control::Of(candidate);
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.owner;
}

void Win32Window::Invalidate(const platform::PixelRect& area) {
  if (!window_ || area.IsEmpty()) return;
  const RECT rect{area.Left, area.Top, area.Right, area.Bottom};
  InvalidateRect(window_.get(), &rect, FALSE);
}

LRESULT CALLBACK Win32Window::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self =
        static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(window, kObjectSlot, reinterpret_cast<LONG_PTR>(self));
    SetWindowLongPtrW(window, kBackendSlot, reinterpret_cast<LONG_PTR>(&self->backend_));
    self->window_.reset(window);
    self->backend_.WindowOpened();
  } else if (message == WM_NCDESTROY) {
    // The window may have outlived its object (released at WM_DESTROY): count it through the
    // backend slot.
    auto* backend = reinterpret_cast<Win32Backend*>(GetWindowLongPtrW(window, kBackendSlot));
    SetWindowLongPtrW(window, kBackendSlot, 0);
    if (backend != nullptr) {
      backend->ForgetDialogWindow(window);
      backend->WindowClosed();
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }
  auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(window, kObjectSlot));
  if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  return self->OnMessage(window, message, wParam, lParam);
}

void Win32Window::FollowActivation(DWORD activated) {
  // Under Wine the activation leaves now and then for no window a moment before another
  // program's window takes it, and this program, inactive by then, hears nothing more of it:
  // until the activation lands, the window looks at the foreground again.
  if (activated == 0) {
    SetTimer(window_.get(), kActivationWatchTimer, kActivationWatchMs, nullptr);
    return;
  }
  KillTimer(window_.get(), kActivationWatchTimer);
  if (activated != GetCurrentProcessId()) events_.OnActivatedElsewhere();  // may delete this
}

LRESULT Win32Window::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (const std::optional<ButtonChange> change = ButtonChangeOf(message, wParam)) {
    const int x = LowSigned(lParam);
    const int y = HighSigned(lParam);
    if (change->Down) {
      events_.OnPointerButtonDown(change->Button, x, y);
    } else {
      events_.OnPointerButtonUp(change->Button, x, y);
    }
    // The extra buttons' messages count as handled only with TRUE.
    return message == WM_XBUTTONDOWN || message == WM_XBUTTONUP ? TRUE : 0;
  }
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT paints every pixel: erasing first would only flicker
    case WM_PAINT:
      backend_.PaintWindow(window, events_);
      return 0;
    case WM_SETCURSOR:
      if (invisiblePointer_ && LOWORD(lParam) == HTCLIENT) {
        SetCursor(backend_.BlankCursor());
        return TRUE;
      }
      break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {  // the latter for Alt, F10 and keys held with Alt
      // A window without controls keeps its keys from the system (no system menu, no beep, no
      // Alt+F4); a dialog's go on to it. Read first: the form may be gone once it has heard.
      const bool dialog = hasControls_;
      events_.OnKeyDown();
      if (dialog) break;
      return 0;
    }
    case WM_ACTIVATEAPP:
      if (wParam == FALSE) {  // this program loses the activation
        FollowActivation(ActivatedProcess(static_cast<DWORD>(lParam)));
      } else {
        KillTimer(window, kActivationWatchTimer);
      }
      return 0;
    case WM_TIMER:
      if (wParam != kActivationWatchTimer) break;
      FollowActivation(ActivatedProcess(0));
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_MINIMIZE && !minimizable_) return 0;  // refused
      break;
    case WM_SIZE:
      if (wParam == SIZE_MINIMIZED) events_.OnMinimizedBySystem();
      return 0;
    case WM_DISPLAYCHANGE:
      backend_.ForgetScreen();
      events_.OnDisplayChanged();
      return 0;
    case WM_ACTIVATE:
      // As a dialog does: the focus goes back to the control that had it (at first the first
      // one), instead of to the window itself, whenever the window becomes active.
      if (hasControls_) {
        if (LOWORD(wParam) == WA_INACTIVE) {
          const HWND focus = GetFocus();
          lastFocus_ = IsChild(window, focus) ? focus : nullptr;
        } else {
          const HWND target = lastFocus_ != nullptr && IsWindow(lastFocus_)
                                  ? lastFocus_
                                  : GetNextDlgTabItem(window, nullptr, FALSE);
          if (target != nullptr) SetFocus(target);
        }
        return 0;
      }
      break;
    case WM_COMMAND: {
      const auto child =
          lParam != 0 ? reinterpret_cast<HWND>(lParam) : GetDlgItem(window, LOWORD(wParam));
      if (Win32Control* control = Win32Control::Of(child)) control->OnCommand(HIWORD(wParam));
      return 0;
    }
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (Win32Control* control = Win32Control::Of(item->hwndItem)) {
        control->Draw(*item);
        return TRUE;
      }
      break;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC:
      if (Win32Control* control = ControlForColours(reinterpret_cast<HWND>(lParam))) {
        return reinterpret_cast<LRESULT>(control->Colours(reinterpret_cast<HDC>(wParam)));
      }
      break;
    case WM_DESTROY: {
      // From here on the window is the system's: the object no longer owns or hears from it.
      SetWindowLongPtrW(window, kObjectSlot, 0);
      window_.release();
      if (!destroyingOurselves_) events_.OnDestroyedBySystem();  // may delete this object
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace velloway::win32
