#include "platform/win32/system_calls.h"

#include <algorithm>
#include <vector>

#include "platform/codepage.h"
#include "platform/wide_text.h"

namespace velloway::win32 {
namespace {

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

HWND Win32SystemCalls::FindWindowA(std::string_view windowName) {
  const std::wstring wide = platform::Utf8ToWide(windowName);
  if (const auto ansi = ToCodePageExactly(wide, GetACP())) {
    return ::FindWindowA(nullptr, ansi->c_str());
  }
  return ::FindWindowW(nullptr, wide.c_str());
}

BOOL Win32SystemCalls::GetCursorPos(POINT& point) {
  return ::GetCursorPos(&point);
}

BOOL Win32SystemCalls::SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy,
                                    UINT flags) {
  return ::SetWindowPos(window, insertAfter, x, y, cx, cy, flags);
}

LONG Win32SystemCalls::GetWindowLongA(HWND window, int index) {
  return ::GetWindowLongA(window, index);
}

LONG Win32SystemCalls::SetWindowLongA(HWND window, int index, LONG value) {
  return ::SetWindowLongA(window, index, value);
}

HWND Win32SystemCalls::SetParent(HWND child, HWND parent) {
  return ::SetParent(child, parent);
}

HWND Win32SystemCalls::GetWindow(HWND window, UINT command) {
  return ::GetWindow(window, command);
}

HWND Win32SystemCalls::SetActiveWindow(HWND window) {
  return ::SetActiveWindow(window);
}

BOOL Win32SystemCalls::IsWindow(HWND window) {
  return ::IsWindow(window);
}

MCIERROR Win32SystemCalls::mciSendStringA(std::string_view command, std::string& reply,
                                          UINT replyLength, HWND callback) {
  return SendCommand(command, replyLength > 0 ? &reply : nullptr, replyLength, callback);
}

MCIERROR Win32SystemCalls::mciExecute(std::string_view command) {
  const MCIERROR error = SendCommand(command, nullptr, 0, nullptr);
  if (error != 0) {
    wchar_t text[MAXERRORLENGTH] = {};
    if (!mciGetErrorStringW(error, text, MAXERRORLENGTH)) text[0] = L'\0';
    const std::wstring line = L"mciExecute \"" + platform::Utf8ToWide(command) + L"\": " + text +
                              L" (" + std::to_wstring(error) + L")\n";
    OutputDebugStringW(line.c_str());
  }
  return error;
}

}  // namespace velloway::win32
