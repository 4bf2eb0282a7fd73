#pragma once
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/modAPI.h"

namespace velloway::headless {

// The window-manager and media calls of the headless backend: every call is recorded, in order,
// as one line of text ("SetWindowPos(4096, -1, 0, 0, 0, 0, 19)"), and answered as the test says.
class RecordingApi : public ModApi {
 public:
  using MciResponder = std::function<std::int32_t(std::string_view command, std::string& reply)>;
  using WindowFinder = std::function<WindowHandle(std::string_view caption)>;
  using WindowCheck = std::function<bool(WindowHandle)>;

  // The calls so far, and a way for the backend to note its own events in the same log.
  const std::vector<std::string>& Calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }
  void Note(std::string line) { calls_.push_back(std::move(line)); }

  void SetCursor(POINTAPI position) { cursor_ = position; }
  void SetCursorFails(bool fails) { cursorFails_ = fails; }
  void SetMciResponder(MciResponder responder) { mci_ = std::move(responder); }
  void SetWindowFinder(WindowFinder finder, WindowCheck exists) {
    findWindow_ = std::move(finder);
    windowExists_ = std::move(exists);
  }
  void SetOwner(WindowHandle window, WindowHandle owner) { owners_[window] = owner; }
  std::int32_t StyleOf(WindowHandle window) const;
  WindowHandle ParentOf(WindowHandle window) const;

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
  std::int32_t mciSendStringA(std::string_view lpstrCommand, std::string& lpstrReturnString,
                              std::uint32_t uReturnLength, WindowHandle hwndCallback) override;
  std::int32_t mciExecute(std::string_view lpstrCommand) override;

 private:
  std::vector<std::string> calls_;
  POINTAPI cursor_;
  bool cursorFails_ = false;
  MciResponder mci_;
  WindowFinder findWindow_;
  WindowCheck windowExists_;
  std::map<WindowHandle, std::int32_t> styles_;
  std::map<WindowHandle, WindowHandle> parents_;
  std::map<WindowHandle, WindowHandle> owners_;
};

}  // namespace velloway::headless
