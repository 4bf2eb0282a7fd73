#include "platform/headless/recording_api.h"

#include <algorithm>

namespace velloway::headless {
namespace {

std::string Quote(std::string_view text) {
  return "\"" + std::string(text) + "\"";
}

// How a reply buffer looked when it was handed over: "512 blanks" or its length.
std::string DescribeBuffer(const std::string& buffer) {
  const bool blank = std::all_of(buffer.begin(), buffer.end(), [](char c) { return c == ' '; });
  return std::to_string(buffer.size()) + (blank ? " blanks" : " chars");
}

template <typename... Args>
std::string CallText(const char* name, const Args&... args) {
  std::string text = std::string(name) + "(";
  const char* separator = "";
  ((text += separator, text += args, separator = ", "), ...);
  return text + ")";
}

using std::to_string;

}  // namespace

std::int32_t RecordingApi::StyleOf(WindowHandle window) const {
  const auto it = styles_.find(window);
  return it == styles_.end() ? 0 : it->second;
}

WindowHandle RecordingApi::ParentOf(WindowHandle window) const {
  const auto it = parents_.find(window);
  return it == parents_.end() ? 0 : it->second;
}

WindowHandle RecordingApi::FindWindowA(const char* lpClassName, const char* lpWindowName) {
  Note(CallText("FindWindowA", lpClassName ? Quote(lpClassName) : std::string("null"),
                Quote(lpWindowName ? lpWindowName : "")));
  return findWindow_ && lpWindowName ? findWindow_(lpWindowName) : 0;
}

std::int32_t RecordingApi::GetCursorPos(POINTAPI& lpPoint) {
  Note("GetCursorPos()");
  if (cursorFails_) return 0;
  lpPoint = cursor_;
  return 1;
}

std::int32_t RecordingApi::SetWindowPos(WindowHandle hwnd, WindowHandle hWndInsertAfter,
                                        std::int32_t x, std::int32_t y, std::int32_t cx,
                                        std::int32_t cy, std::uint32_t wFlags) {
  Note(CallText("SetWindowPos", to_string(hwnd), to_string(hWndInsertAfter), to_string(x),
                to_string(y), to_string(cx), to_string(cy), to_string(wFlags)));
  return 1;
}

std::int32_t RecordingApi::GetWindowLongA(WindowHandle hwnd, std::int32_t nIndex) {
  Note(CallText("GetWindowLongA", to_string(hwnd), to_string(nIndex)));
  return StyleOf(hwnd);
}

std::int32_t RecordingApi::SetWindowLongA(WindowHandle hwnd, std::int32_t nIndex,
                                          std::int32_t dwNewLong) {
  Note(CallText("SetWindowLongA", to_string(hwnd), to_string(nIndex), to_string(dwNewLong)));
  const std::int32_t previous = StyleOf(hwnd);
  styles_[hwnd] = dwNewLong;
  return previous;
}

WindowHandle RecordingApi::SetParent(WindowHandle hWndChild, WindowHandle hWndNewParent) {
  Note(CallText("SetParent", to_string(hWndChild), to_string(hWndNewParent)));
  const WindowHandle previous = ParentOf(hWndChild);
  parents_[hWndChild] = hWndNewParent;
  return previous;
}

WindowHandle RecordingApi::GetWindow(WindowHandle hwnd, std::uint32_t wCmd) {
  Note(CallText("GetWindow", to_string(hwnd), to_string(wCmd)));
  const auto it = owners_.find(hwnd);
  return it == owners_.end() ? 0 : it->second;
}

WindowHandle RecordingApi::SetActiveWindow(WindowHandle hwnd) {
  Note(CallText("SetActiveWindow", to_string(hwnd)));
  return 0;
}

std::int32_t RecordingApi::IsWindow(WindowHandle hwnd) {
  Note(CallText("IsWindow", to_string(hwnd)));
  return windowExists_ && windowExists_(hwnd) ? 1 : 0;
}

std::int32_t RecordingApi::mciSendStringA(std::string_view lpstrCommand,
                                          std::string& lpstrReturnString,
                                          std::uint32_t uReturnLength, WindowHandle hwndCallback) {
  Note(CallText("mciSendStringA", Quote(lpstrCommand), DescribeBuffer(lpstrReturnString),
                to_string(uReturnLength), to_string(hwndCallback)));
  return mci_ ? mci_(lpstrCommand, lpstrReturnString) : 0;
}

std::int32_t RecordingApi::mciExecute(std::string_view lpstrCommand) {
  Note(CallText("mciExecute", Quote(lpstrCommand)));
  std::string unused;
  return mci_ ? mci_(lpstrCommand, unused) : 0;
}

}  // namespace velloway::headless
