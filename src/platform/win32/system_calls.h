#pragma once
// The user32 and winmm calls whose order and arguments the backend's intentions come down to
// (keeping a window on top, embedding the preview, finding a running copy, the pointer, the
// music device), behind one table: the program forwards them to the system, and the Windows-side
// tests record them. Texts are UTF-8 here; the real calls hand them to the "A" functions in the
// system code page when it holds them exactly, otherwise to the "W" functions.
#include <windows.h>

#include <mmsystem.h>

#include <optional>
#include <string>
#include <string_view>

namespace velloway::win32 {

// text in the given code page, or nullopt when the code page cannot hold it exactly.
std::optional<std::string> ToCodePageExactly(std::wstring_view text, unsigned codePage);

class SystemCalls {
 public:
  virtual ~SystemCalls() = default;

  // FindWindowA(NULL, windowName).
  virtual HWND FindWindowA(std::string_view windowName) = 0;
  virtual BOOL GetCursorPos(POINT& point) = 0;
  virtual BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy,
                            UINT flags) = 0;
  virtual LONG GetWindowLongA(HWND window, int index) = 0;
  virtual LONG SetWindowLongA(HWND window, int index, LONG value) = 0;
  virtual HWND SetParent(HWND child, HWND parent) = 0;
  virtual HWND GetWindow(HWND window, UINT command) = 0;
  virtual HWND SetActiveWindow(HWND window) = 0;
  virtual BOOL IsWindow(HWND window) = 0;
  // Sends a media command string with a reply buffer of replyLength characters, handed over as
  // `reply` holds it; afterwards `reply` holds the characters the system wrote before the NUL.
  // With replyLength 0 no reply is asked for and `reply` is left as it is. 0 on success.
  virtual MCIERROR mciSendStringA(std::string_view command, std::string& reply, UINT replyLength,
                                  HWND callback) = 0;
  // Sends a media command string without a reply. Unlike the system's mciExecute, shows no
  // message box on failure (it would hide behind a topmost full-screen window): the error goes
  // to the debugger output. Returns the MCI error code, 0 on success.
  virtual MCIERROR mciExecute(std::string_view command) = 0;
};

// The table that calls the system.
class Win32SystemCalls final : public SystemCalls {
 public:
  HWND FindWindowA(std::string_view windowName) override;
  BOOL GetCursorPos(POINT& point) override;
  BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy,
                    UINT flags) override;
  LONG GetWindowLongA(HWND window, int index) override;
  LONG SetWindowLongA(HWND window, int index, LONG value) override;
  HWND SetParent(HWND child, HWND parent) override;
  HWND GetWindow(HWND window, UINT command) override;
  HWND SetActiveWindow(HWND window) override;
  BOOL IsWindow(HWND window) override;
  MCIERROR mciSendStringA(std::string_view command, std::string& reply, UINT replyLength,
                          HWND callback) override;
  MCIERROR mciExecute(std::string_view command) override;
};

}  // namespace velloway::win32
