// The yardstick for the saver's start-up and idle cost: the least a Win32 program does to show a
// full-screen window of one colour. Usage: bare_window [RRGGBB]. A key or a click closes it.
#include <windows.h>

#include <cstdlib>
#include <cwchar>

#include "platform/win32/win32_handles.h"

namespace {

using UniqueBrush = velloway::win32::GdiObject<HBRUSH>;

HBRUSH g_brush = nullptr;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT fills every pixel
    case WM_PAINT: {
      const velloway::win32::PaintScope paint(window);
      FillRect(paint.Dc(), &paint.Area(), g_brush);
      return 0;
    }
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN:
      PostQuitMessage(0);  // the window goes with its owner in wWinMain
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

// The window class, registered for the program's run.
class WindowClass {
 public:
  WindowClass(HINSTANCE instance, const wchar_t* name) : instance_(instance), name_(name) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = name;
    atom_ = RegisterClassExW(&windowClass);
  }
  ~WindowClass() {
    if (atom_ != 0) UnregisterClassW(name_, instance_);
  }
  WindowClass(const WindowClass&) = delete;
  WindowClass& operator=(const WindowClass&) = delete;
  bool Registered() const { return atom_ != 0; }

 private:
  HINSTANCE instance_;
  const wchar_t* name_;
  ATOM atom_ = 0;
};

// "RRGGBB" as GDI's colour; 0x7A1FC3 (purple) when absent.
COLORREF ParseColour(const wchar_t* text) {
  const unsigned long value = text != nullptr ? std::wcstoul(text, nullptr, 16) : 0x7A1FC3ul;
  return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  const UniqueBrush brush(CreateSolidBrush(ParseColour(__argc > 1 ? __wargv[1] : nullptr)));
  g_brush = brush.get();
  const WindowClass windowClass(instance, L"VellowayBareWindow");
  if (!windowClass.Registered()) return 1;
  const velloway::win32::UniqueWindow window(
      CreateWindowExW(WS_EX_TOPMOST, L"VellowayBareWindow", L"Bare window", WS_POPUP, 0, 0,
                      GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr,
                      nullptr, instance, nullptr));
  if (!window) return 1;
  ShowWindow(window.get(), SW_SHOW);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
