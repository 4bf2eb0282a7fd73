#pragma once
// The fixture of the tests of the Windows backend's windows and timers: a backend whose
// intentions come down to recorded calls, and the events its windows report.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/backend.h"
#include "platform/win32/recording_system_calls.h"
#include "platform/win32/win32_backend.h"

namespace velloway::win32 {

struct RecordedEvents : platform::WindowEvents {
  // What the windows paint their areas with.
  static constexpr Color kBackground = 0x402010;

  std::vector<platform::PixelRect> painted;
  std::vector<std::string> buttons;  // "down 2 12,34": pressed, the third button, at (12, 34)
  int keysDown = 0;
  int destroyed = 0;
  void OnPaint(platform::Canvas& canvas, const platform::PixelRect& area) override {
    painted.push_back(area);
    canvas.FillRect(area, kBackground);
  }
  void OnPointerButtonDown(platform::MouseButton button, int x, int y) override {
    RecordButton("down", button, x, y);
  }
  void OnPointerButtonUp(platform::MouseButton button, int x, int y) override {
    RecordButton("up", button, x, y);
  }
  void OnKeyDown() override { ++keysDown; }
  void OnActivatedElsewhere() override {}
  void OnMinimizedBySystem() override {}
  void OnDisplayChanged() override {}
  void OnDestroyedBySystem() override { ++destroyed; }

 private:
  void RecordButton(const char* change, platform::MouseButton button, int x, int y) {
    buttons.push_back(std::string(change) + " " + std::to_string(static_cast<int>(button)) + " " +
                      std::to_string(x) + "," + std::to_string(y));
  }
};

class WindowTest : public ::testing::Test {
 protected:
  // The window, or null (and the test skipped) where windows cannot be made.
  std::unique_ptr<platform::NativeWindow> Make(const platform::WindowStyle& style,
                                               std::string_view caption = "Probe") {
    return backend_.CreateNativeWindow(events_, style, caption);
  }
  static HWND Hwnd(const platform::NativeWindow& window) {
    return reinterpret_cast<HWND>(window.Id());
  }
  // Runs the message loop's work until pred holds or the time is up.
  template <typename Pred>
  bool PumpUntil(Pred pred, std::chrono::milliseconds limit = std::chrono::seconds(1)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
      if (std::chrono::steady_clock::now() > end) return false;
      backend_.RunWaitingEvents();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }

  static std::string Text(const platform::NativeWindow& window) {
    return testing::RecordingSystemCalls::Text(Hwnd(window));
  }

  // What the windows' intentions come down to is recorded rather than carried out.
  testing::RecordingSystemCalls calls_;
  Win32Backend backend_{GetModuleHandleW(nullptr), calls_};
  RecordedEvents events_;
};

#define MAKE_WINDOW_OR_SKIP(name, ...) \
  auto name = Make(__VA_ARGS__);       \
  if (!name) GTEST_SKIP() << "windows cannot be made here (no display)"

}  // namespace velloway::win32
