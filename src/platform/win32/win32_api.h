#pragma once
// The window-manager and media calls, forwarded to user32 and winmm. UTF-8 texts go to the "A"
// calls in the system code page when it holds them exactly, otherwise to the "W" calls.
#include <optional>
#include <string>
#include <string_view>

#include "platform/modAPI.h"

namespace velloway::win32 {

// text in the given code page, or nullopt when the code page cannot hold it exactly.
std::optional<std::string> ToCodePageExactly(std::wstring_view text, unsigned codePage);

class Win32Api final : public ModApi {
 public:
  WindowHandle FindWindowA(const char* lpClassName, const char* lpWindowName) override;
  std::int32_t GetCursorPos(POINTAPI& lpPoint) override;
  std::int32_t SetWindowPos(WindowHandle hwnd, WindowHandle hWndInsertAfter, std::int32_t x,
                            std::int32_t y, std::int32_t cx, std::int32_t cy,
                            std::uint32_t wFlags) override;
  std::int32_t GetWindowLongA(WindowHandle hwnd, std::int32_t nIndex) override;
  std::int32_t SetWindowLongA(WindowHandle hwnd, std::int32_t nIndex,
                              std::int32_t dwNewLong) override;
  WindowHandle SetParent(WindowHandle hWndChild, WindowHandle hWndNewParent) override;
  WindowHandle GetWindow(WindowHandle hwnd, std::uint32_t wCmd) override;
  WindowHandle SetActiveWindow(WindowHandle hwnd) override;
  std::int32_t IsWindow(WindowHandle hwnd) override;

  // lpstrReturnString becomes the reply: the characters the system wrote before the NUL,
  // in UTF-8 (so its size is the reply's length, not uReturnLength). With uReturnLength 0 no
  // reply is asked for and lpstrReturnString is left as it is.
  std::int32_t mciSendStringA(std::string_view lpstrCommand, std::string& lpstrReturnString,
                              std::uint32_t uReturnLength, WindowHandle hwndCallback) override;
  // Unlike the system's mciExecute, shows no message box on failure (it would hide behind a
  // topmost full-screen window): the error goes to the debugger output. Returns the MCI error
  // code, 0 on success.
  std::int32_t mciExecute(std::string_view lpstrCommand) override;
};

}  // namespace velloway::win32
