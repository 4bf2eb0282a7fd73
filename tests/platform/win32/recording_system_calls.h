#pragma once
// The Windows backend's table of system calls as the Windows-side tests see it: every call is
// noted, in order, as one line of text ("SetWindowPos(4096, -1, 0, 0, 0, 0, 19)"), and answered
// as the test says instead of by the system.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/system_calls.h"

namespace velloway::testing {

class RecordingSystemCalls final : public win32::SystemCalls {
 public:
  using MciAnswer = std::function<MCIERROR(std::string_view command, std::string& reply)>;

  std::vector<std::string> calls;
  // The answers.
  std::map<std::string, HWND, std::less<>> windowsByCaption;
  std::optional<POINT> cursor;
  LONG style = 0;
  HWND owner = nullptr;
  MciAnswer mci = [](std::string_view, std::string&) -> MCIERROR { return 0; };

  HWND FindWindowA(std::string_view windowName) override {
    Note("FindWindowA", "null", Quote(windowName));
    const auto found = windowsByCaption.find(windowName);
    return found == windowsByCaption.end() ? nullptr : found->second;
  }
  BOOL GetCursorPos(POINT& point) override {
    Note("GetCursorPos");
    if (cursor) point = *cursor;
    return cursor.has_value();
  }
  BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy,
                    UINT flags) override {
    Note("SetWindowPos", Text(window), Text(insertAfter), Text(x), Text(y), Text(cx), Text(cy),
         Text(flags));
    return TRUE;
  }
  LONG GetWindowLongA(HWND window, int index) override {
    Note("GetWindowLongA", Text(window), Text(index));
    return style;
  }
  LONG SetWindowLongA(HWND window, int index, LONG value) override {
    Note("SetWindowLongA", Text(window), Text(index), Text(value));
    return std::exchange(style, value);
  }
  HWND SetParent(HWND child, HWND parent) override {
    Note("SetParent", Text(child), Text(parent));
    return nullptr;
  }
  HWND GetWindow(HWND window, UINT command) override {
    Note("GetWindow", Text(window), Text(command));
    return owner;
  }
  HWND SetActiveWindow(HWND window) override {
    Note("SetActiveWindow", Text(window));
    return nullptr;
  }
  BOOL IsWindow(HWND window) override {
    Note("IsWindow", Text(window));
    return TRUE;
  }
  MCIERROR mciSendStringA(std::string_view command, std::string& reply, UINT replyLength,
                          HWND callback) override {
    Note("mciSendStringA", Quote(command), DescribeBuffer(reply), Text(replyLength),
         Text(callback));
    return mci(command, reply);
  }
  MCIERROR mciExecute(std::string_view command) override {
    Note("mciExecute", Quote(command));
    std::string unused;
    return mci(command, unused);
  }

  static std::string Text(HWND window) {
    return std::to_string(reinterpret_cast<std::intptr_t>(window));
  }

 private:
  template <typename Number>
  static std::string Text(Number number) {
    return std::to_string(number);
  }
  static std::string Quote(std::string_view text) { return "\"" + std::string(text) + "\""; }
  // How a reply buffer looked when it was handed over: "512 blanks" or its length.
  static std::string DescribeBuffer(const std::string& buffer) {
    const bool blank = std::all_of(buffer.begin(), buffer.end(), [](char c) { return c == ' '; });
    return std::to_string(buffer.size()) + (blank ? " blanks" : " chars");
  }
  template <typename... Args>
  void Note(const char* name, const Args&... args) {
    std::string text = std::string(name) + "(";
    [[maybe_unused]] const char* separator = "";
    ((text += separator, text += args, separator = ", "), ...);
    calls.push_back(text + ")");
  }
};

}  // namespace velloway::testing
