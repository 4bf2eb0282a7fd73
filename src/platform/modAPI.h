#pragma once
// The window-manager (user32) and media (winmm) calls the windows' code makes, behind one seam:
// the Windows build forwards them to the real system, the headless backend records them and
// answers as a test tells it. Command texts are UTF-8 here; the Windows side hands them over in
// the system code page.
#include <cstdint>
#include <string>
#include <string_view>

namespace velloway {

using WindowHandle = std::intptr_t;

struct POINTAPI {
  std::int32_t x = 0;
  std::int32_t y = 0;
};

class ModApi {
 public:
  virtual ~ModApi() = default;

  // lpClassName may be null.
  virtual WindowHandle FindWindowA(const char* lpClassName, const char* lpWindowName) = 0;
  virtual std::int32_t GetCursorPos(POINTAPI& lpPoint) = 0;
  virtual std::int32_t SetWindowPos(WindowHandle hwnd, WindowHandle hWndInsertAfter, std::int32_t x,
                                    std::int32_t y, std::int32_t cx, std::int32_t cy,
                                    std::uint32_t wFlags) = 0;
  virtual std::int32_t GetWindowLongA(WindowHandle hwnd, std::int32_t nIndex) = 0;
  virtual std::int32_t SetWindowLongA(WindowHandle hwnd, std::int32_t nIndex,
                                      std::int32_t dwNewLong) = 0;
  virtual WindowHandle SetParent(WindowHandle hWndChild, WindowHandle hWndNewParent) = 0;
  virtual WindowHandle GetWindow(WindowHandle hwnd, std::uint32_t wCmd) = 0;
  virtual WindowHandle SetActiveWindow(WindowHandle hwnd) = 0;
  // Whether hwnd names an existing window.
  virtual std::int32_t IsWindow(WindowHandle hwnd) = 0;

  // Sends a media command string; the reply is written into lpstrReturnString (at most
  // uReturnLength characters, ending in a NUL as the system writes it). Returns 0 on success.
  virtual std::int32_t mciSendStringA(std::string_view lpstrCommand, std::string& lpstrReturnString,
                                      std::uint32_t uReturnLength, WindowHandle hwndCallback) = 0;
  // Sends a media command string without a reply.
  virtual std::int32_t mciExecute(std::string_view lpstrCommand) = 0;
};

}  // namespace velloway
