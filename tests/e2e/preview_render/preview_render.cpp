// preview_render: shows the program's preview inside a host window of this same process, since
// under Wine a preview embedded into another process's window never reaches the screen.
//
//   preview_render.exe <picture.ppm> [hold milliseconds]
//     Prints the host's and the preview's windows (key=value lines), writes the host's client
//     area as a binary PPM, prints "CAPTURED", then keeps the windows on the screen for the hold
//     time so that the test can compare the screen too. Exit status 0 only when all of that
//     happened.
//   preview_render.exe --host-gone
//     Takes the preview out of the host, destroys the host and prints "HOST GONE": the preview's
//     own watch on its host must then end the program (status 0). Where killing a host's process
//     also destroys the windows inside it (Wine does), only this shows that watch at work. Prints
//     "STILL RUNNING" and exits with status 4 when the program is still there 3 s later.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "base/program_identity.h"
#include "platform/wide_text.h"
#include "platform/win32/win32_backend.h"
#include "platform/win32/win32_handles.h"
#include "startup/startup.h"

namespace {

using velloway::win32::SelectGuard;
using velloway::win32::UniqueBitmap;
using velloway::win32::UniqueDc;
using velloway::win32::UniqueWindow;

constexpr wchar_t kHostClass[] = L"VellowayRenderHost";
// The pane a preview gets; at a high DPI the system may make it a little wider (a window with a
// caption has a minimum width).
constexpr int kClientWidth = 200;
constexpr int kClientHeight = 150;
// Away from the screen's corner, so that a wrong origin cannot pass for the right one.
constexpr int kHostLeft = 300;
constexpr int kHostTop = 200;
// Long enough for the first WM_PAINT of the host and of the preview and its picture.
constexpr DWORD kSettleMs = 700;
// Six of the preview's looks at its host: ample, and still short for a test.
constexpr DWORD kHostGoneWaitMs = 3000;

void Say(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);  // the test reads the output while the program runs
}

std::string Rect(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," +
         std::to_string(r.right - r.left) + "," + std::to_string(r.bottom - r.top);
}

unsigned long long Number(HWND window) {
  return static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(window));
}

// Handles messages for a while, as the program's own message loop would.
void Pump(DWORD milliseconds) {
  const ULONGLONG end = GetTickCount64() + milliseconds;
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    const ULONGLONG now = GetTickCount64();
    if (now >= end) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
  }
}

// A window's DC, borrowed for a scope.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDc() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// The host's client area as 8-bit RGB rows, read back through GDI.
bool WriteClientArea(HWND host, const char* path) {
  const WindowDc window(host);
  RECT client{};
  if (window.Get() == nullptr || !GetClientRect(host, &client)) return false;
  const int width = client.right;
  const int height = client.bottom;
  const UniqueDc memory(CreateCompatibleDC(window.Get()));
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const UniqueBitmap bitmap(
      CreateDIBSection(window.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!memory || !bitmap || bits == nullptr) return false;
  {
    const SelectGuard select(memory.get(), bitmap.get());
    if (!BitBlt(memory.get(), 0, 0, width, height, window.Get(), 0, 0, SRCCOPY)) {
      return false;
    }
    GdiFlush();
  }

  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, &std::fclose);
  std::fprintf(file, "P6\n%d %d\n255\n", width, height);
  const auto* pixels = static_cast<const std::uint8_t*>(bits);
  for (int i = 0; i < width * height; ++i) {
    const std::uint8_t* bgrx = pixels + 4 * i;
    const std::uint8_t rgb[3] = {bgrx[2], bgrx[1], bgrx[0]};
    if (std::fwrite(rgb, 1, 3, file) != 3) return false;
  }
  return true;
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

// The host's window class, registered for the program's run.
class HostClass {
 public:
  HostClass(HINSTANCE instance, HBRUSH background) : instance_(instance) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = HostProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = background;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kHostClass;
    registered_ = RegisterClassW(&windowClass) != 0;
  }
  ~HostClass() {
    if (registered_) UnregisterClassW(kHostClass, instance_);
  }
  HostClass(const HostClass&) = delete;
  HostClass& operator=(const HostClass&) = delete;
  bool Registered() const { return registered_; }

 private:
  HINSTANCE instance_;
  bool registered_ = false;
};

// Both modes: the host window, with the preview shown inside it. The preview goes first, while
// its parent still stands.
struct HostedPreview {
  UniqueWindow host;
  velloway::ProgramWindows windows;
  HWND preview = nullptr;
};

bool ShowHostedPreview(velloway::win32::Win32Backend& backend, HINSTANCE instance,
                       HostedPreview& hosted) {
  constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
  RECT frame{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRect(&frame, kStyle, FALSE);
  hosted.host.reset(CreateWindowW(
      kHostClass, L"Velloway preview render", kStyle, kHostLeft + frame.left, kHostTop + frame.top,
      frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, nullptr));
  const HWND host = hosted.host.get();
  if (host == nullptr) {
    Say("ERROR CreateWindowW " + std::to_string(GetLastError()));
    return false;
  }
  ShowWindow(host, SW_SHOWNORMAL);
  UpdateWindow(host);
  RECT client{};
  GetClientRect(host, &client);
  MapWindowPoints(host, nullptr, reinterpret_cast<POINT*>(&client), 2);
  Say("HOST hwnd=" + std::to_string(Number(host)) + " client=" + Rect(client));

  velloway::ShowPreview(backend, backend, hosted.windows,
                        reinterpret_cast<velloway::platform::WindowId>(host));
  const std::wstring caption = velloway::platform::Utf8ToWide(velloway::identity::kPreviewCaption);
  hosted.preview = FindWindowExW(host, nullptr, nullptr, caption.c_str());
  if (!hosted.windows.Preview || hosted.preview == nullptr) {
    Say("ERROR no preview inside the host");
    return false;
  }
  RECT r{};
  GetWindowRect(hosted.preview, &r);
  Say("PREVIEW hwnd=" + std::to_string(Number(hosted.preview)) +
      " parent=" + std::to_string(Number(GetParent(hosted.preview))) +
      " visible=" + (IsWindowVisible(hosted.preview) ? "1" : "0") + " rect=" + Rect(r));
  return true;
}

int Render(HostedPreview& hosted, const char* path, DWORD holdMs) {
  Pump(kSettleMs);
  RedrawWindow(hosted.host.get(), nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Pump(kSettleMs);
  if (!WriteClientArea(hosted.host.get(), path)) {
    Say("ERROR could not read or save the host's client area");
    return 1;
  }
  Say("CAPTURED");
  Pump(holdMs);
  return 0;
}

int HostGone(HostedPreview& hosted) {
  Pump(kSettleMs);
  // Out of the host first, so that destroying the host leaves the preview's window standing.
  SetParent(hosted.preview, nullptr);
  hosted.host.reset();
  if (!IsWindow(hosted.preview)) {
    Say("ERROR the preview went with its host");
    return 1;
  }
  Say("HOST GONE");
  Pump(kHostGoneWaitMs);
  Say("STILL RUNNING");
  return 4;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    Say("usage: preview_render <picture.ppm> [hold milliseconds] | --host-gone");
    return 2;
  }
  const bool hostGone = std::strcmp(argv[1], "--host-gone") == 0;
  const DWORD holdMs = argc > 2 ? static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)) : 0;
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  velloway::win32::Win32Backend backend(instance);
  // A colour the picture does not hold, so that the preview's edges show against it.
  const velloway::win32::GdiObject<HBRUSH> background(CreateSolidBrush(RGB(0x30, 0x60, 0x90)));
  const HostClass hostClass(instance, background.get());
  if (!hostClass.Registered()) {
    Say("ERROR RegisterClassW " + std::to_string(GetLastError()));
    return 1;
  }
  HostedPreview hosted;
  if (!ShowHostedPreview(backend, instance, hosted)) return 1;
  return hostGone ? HostGone(hosted) : Render(hosted, argv[1], holdMs);
}
