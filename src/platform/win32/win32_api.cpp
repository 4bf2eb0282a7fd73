#include <windows.h>

#include <mmsystem.h>

#include "platform/win32/win32_api.h"

#include <algorithm>
#include <vector>

#include "platform/codepage.h"
#include "platform/wide_text.h"

namespace velloway::win32 {
namespace {

HWND ToHwnd(WindowHandle handle) {
  return reinterpret_cast<HWND>(handle);
}

WindowHandle FromHwnd(HWND window) {
  return reinterpret_cast<WindowHandle>(window);
}

// The reply's characters before the NUL the system wrote, or the whole buffer without one.
template <typename Char>
std::basic_string_view<Char> UpToNul(const std::vector<Char>& buffer) {
  const std::basic_string_view<Char> text(buffer.data(), buffer.size());
  return text.substr(0, text.find(Char{}));
}

// Sends a command in the system code page when it holds the text exactly, otherwise as UTF-16.
// The reply (when replyLength > 0) replaces reply.
MCIERROR SendCommand(std::string_view command, std::string* reply, std::uint32_t replyLength,
                     HWND callback) {
  const std::wstring wide = platform::Utf8ToWide(command);
  const unsigned codePage = GetACP();
  if (const auto ansi = ToCodePageExactly(wide, codePage)) {
    std::vector<char> buffer(replyLength, '\0');
    const MCIERROR error = ::mciSendStringA(ansi->c_str(), reply ? buffer.data() : nullptr,
                                            reply ? replyLength : 0, callback);
    if (reply) *reply = platform::LegacyToUtf8(UpToNul(buffer), codePage);
    return error;
  }
  std::vector<wchar_t> buffer(replyLength, L'\0');
  const MCIERROR error = ::mciSendStringW(wide.c_str(), reply ? buffer.data() : nullptr,
                                          reply ? replyLength : 0, callback);
  if (reply) *reply = platform::WideToUtf8(UpToNul(buffer));
  return error;
}

}  // namespace

std::optional<std::string> ToCodePageExactly(std::wstring_view text, unsigned codePage) {
  if (text.empty()) return std::string();
  const int length = static_cast<int>(text.size());
  // UTF-7 and UTF-8 refuse the used-default flag; the round trip below still catches losses.
  const bool utf = codePage == CP_UTF7 || codePage == CP_UTF8;
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultOut = utf ? nullptr : &usedDefault;
  const int size =
      WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, usedDefaultOut);
  if (size <= 0 || usedDefault) return std::nullopt;
  std::string converted(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), length, converted.data(), size, nullptr,
                      usedDefaultOut);
  if (usedDefault) return std::nullopt;
  // Best-fit mappings ("é" to "e") set no flag: only an exact round trip counts.
  const int backLength = MultiByteToWideChar(codePage, 0, converted.data(), size, nullptr, 0);
  std::wstring back(static_cast<std::size_t>(std::max(backLength, 0)), L'\0');
  MultiByteToWideChar(codePage, 0, converted.data(), size, back.data(), backLength);
  if (back != text) return std::nullopt;
  return converted;
}

WindowHandle Win32Api::FindWindowA(const char* lpClassName, const char* lpWindowName) {
  const unsigned codePage = GetACP();
  std::optional<std::wstring> wideClass;
  std::optional<std::wstring> wideName;
  std::optional<std::string> ansiClass;
  std::optional<std::string> ansiName;
  bool exact = true;
  if (lpClassName != nullptr) {
    wideClass = platform::Utf8ToWide(lpClassName);
    ansiClass = ToCodePageExactly(*wideClass, codePage);
    exact = exact && ansiClass.has_value();
  }
  if (lpWindowName != nullptr) {
    wideName = platform::Utf8ToWide(lpWindowName);
    ansiName = ToCodePageExactly(*wideName, codePage);
    exact = exact && ansiName.has_value();
  }
  if (exact) {
    return FromHwnd(::FindWindowA(ansiClass ? ansiClass->c_str() : nullptr,
                                  ansiName ? ansiName->c_str() : nullptr));
  }
  return FromHwnd(::FindWindowW(wideClass ? wideClass->c_str() : nullptr,
                                wideName ? wideName->c_str() : nullptr));
}

std::int32_t Win32Api::GetCursorPos(POINTAPI& lpPoint) {
  POINT point{};
  const BOOL ok = ::GetCursorPos(&point);
  if (ok) {
    lpPoint.x = point.x;
    lpPoint.y = point.y;
  }
  return ok;
}

std::int32_t Win32Api::SetWindowPos(WindowHandle hwnd, WindowHandle hWndInsertAfter, std::int32_t x,
                                    std::int32_t y, std::int32_t cx, std::int32_t cy,
                                    std::uint32_t wFlags) {
  return ::SetWindowPos(ToHwnd(hwnd), ToHwnd(hWndInsertAfter), x, y, cx, cy, wFlags);
}

std::int32_t Win32Api::GetWindowLongA(WindowHandle hwnd, std::int32_t nIndex) {
  return ::GetWindowLongA(ToHwnd(hwnd), nIndex);
}

std::int32_t Win32Api::SetWindowLongA(WindowHandle hwnd, std::int32_t nIndex,
                                      std::int32_t dwNewLong) {
  return ::SetWindowLongA(ToHwnd(hwnd), nIndex, dwNewLong);
}

WindowHandle Win32Api::SetParent(WindowHandle hWndChild, WindowHandle hWndNewParent) {
  return FromHwnd(::SetParent(ToHwnd(hWndChild), ToHwnd(hWndNewParent)));
}

WindowHandle Win32Api::GetWindow(WindowHandle hwnd, std::uint32_t wCmd) {
  return FromHwnd(::GetWindow(ToHwnd(hwnd), wCmd));
}

WindowHandle Win32Api::SetActiveWindow(WindowHandle hwnd) {
  return FromHwnd(::SetActiveWindow(ToHwnd(hwnd)));
}

std::int32_t Win32Api::IsWindow(WindowHandle hwnd) {
  return ::IsWindow(ToHwnd(hwnd)) ? 1 : 0;
}

std::int32_t Win32Api::mciSendStringA(std::string_view lpstrCommand, std::string& lpstrReturnString,
                                      std::uint32_t uReturnLength, WindowHandle hwndCallback) {
  std::string* reply = uReturnLength > 0 ? &lpstrReturnString : nullptr;
  return static_cast<std::int32_t>(
      SendCommand(lpstrCommand, reply, uReturnLength, ToHwnd(hwndCallback)));
}

std::int32_t Win32Api::mciExecute(std::string_view lpstrCommand) {
  const MCIERROR error = SendCommand(lpstrCommand, nullptr, 0, nullptr);
  if (error != 0) {
    wchar_t text[MAXERRORLENGTH] = {};
    if (!mciGetErrorStringW(error, text, MAXERRORLENGTH)) text[0] = L'\0';
    const std::wstring line = L"mciExecute \"" + platform::Utf8ToWide(lpstrCommand) + L"\": " +
                              text + L" (" + std::to_wstring(error) + L")\n";
    OutputDebugStringW(line.c_str());
  }
  return static_cast<std::int32_t>(error);
}

}  // namespace velloway::win32
