// The Windows backend's windows, their input and the message loop (under Wine in the build); the
// tests skip where no window can be made.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/backend.h"
#include "platform/wide_text.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/window_test_fixture.h"

namespace velloway::win32 {
namespace {

using platform::PixelRect;
using platform::Utf8ToWide;

TEST_F(WindowTest, BorderStylesAndTaskbarChoice) {
  struct Case {
    platform::BorderStyle border;
    bool inTaskbar;
    LONG_PTR styleSet;
    LONG_PTR styleClear;
  };
  const Case cases[] = {
      {platform::BorderStyle::None, false, WS_POPUP, WS_CAPTION | WS_THICKFRAME},
      {platform::BorderStyle::FixedSingle, true, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
       WS_THICKFRAME | WS_MAXIMIZEBOX | WS_POPUP},
  };
  for (const Case& c : cases) {
    MAKE_WINDOW_OR_SKIP(window, platform::WindowStyle{c.border, c.inTaskbar, false});
    const LONG_PTR style = GetWindowLongPtrW(Hwnd(*window), GWL_STYLE);
    EXPECT_EQ(style & c.styleSet, c.styleSet);
    EXPECT_EQ(style & c.styleClear, 0);
    EXPECT_FALSE(IsWindowVisible(Hwnd(*window)));  // made hidden
    const bool owned = GetWindow(Hwnd(*window), GW_OWNER) != nullptr;
    const bool tool = (GetWindowLongPtrW(Hwnd(*window), GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0;
    EXPECT_EQ(owned || tool, !c.inTaskbar);
  }
}

TEST_F(WindowTest, CaptionIsUnicode) {
  const std::string caption = "MAIN -+- Velloway \xe6\x97\xa5\xe6\x9c\xac";
  MAKE_WINDOW_OR_SKIP(window, platform::WindowStyle{}, caption);
  wchar_t text[64] = {};
  GetWindowTextW(Hwnd(*window), text, 64);
  EXPECT_EQ(std::wstring(text), Utf8ToWide(caption));
  window->SetCaption("\xc3\xa9t\xc3\xa9");
  GetWindowTextW(Hwnd(*window), text, 64);
  EXPECT_EQ(std::wstring(text), L"\u00e9t\u00e9");
}

TEST_F(WindowTest, InputReachesTheEvents) {
  MAKE_WINDOW_OR_SKIP(window, platform::WindowStyle{});
  const struct {
    UINT message;
    WPARAM wParam;
    LRESULT handled;
  } buttons[] = {{WM_LBUTTONDOWN, 0, 0},
                 {WM_LBUTTONUP, 0, 0},
                 {WM_RBUTTONUP, 0, 0},
                 {WM_MBUTTONDOWN, 0, 0},
                 {WM_XBUTTONDOWN, MAKEWPARAM(0, XBUTTON1), TRUE},
                 {WM_XBUTTONUP, MAKEWPARAM(0, XBUTTON2), TRUE}};
  for (const auto& b : buttons) {
    EXPECT_EQ(SendMessageW(Hwnd(*window), b.message, b.wParam, MAKELPARAM(12, -34)), b.handled);
  }
  EXPECT_THAT(events_.buttons,
              ::testing::ElementsAre("down 0 12,-34", "up 0 12,-34", "up 1 12,-34", "down 2 12,-34",
                                     "down 3 12,-34", "up 4 12,-34"));
  EXPECT_EQ(SendMessageW(Hwnd(*window), WM_ERASEBKGND, 0, 0), 1);
}

TEST_F(WindowTest, EveryKeyGoingDownReachesTheEventsAndNoneGoesOnToTheSystem) {
  MAKE_WINDOW_OR_SKIP(window, platform::WindowStyle{platform::BorderStyle::None, false, true});
  constexpr LPARAM kAltHeld = LPARAM{1} << 29;
  const struct {
    const char* what;
    UINT message;
    WPARAM key;
    LPARAM context;
  } keys[] = {{"A", WM_KEYDOWN, 'A', 0},
              {"Shift", WM_KEYDOWN, VK_SHIFT, 0},
              {"Control", WM_KEYDOWN, VK_CONTROL, 0},
              {"Windows", WM_KEYDOWN, VK_LWIN, 0},
              {"F1", WM_KEYDOWN, VK_F1, 0},
              {"Left", WM_KEYDOWN, VK_LEFT, 0},
              {"Volume Up", WM_KEYDOWN, VK_VOLUME_UP, 0},
              {"Alt", WM_SYSKEYDOWN, VK_MENU, kAltHeld},
              {"F10", WM_SYSKEYDOWN, VK_F10, 0},
              {"Alt+F4", WM_SYSKEYDOWN, VK_F4, kAltHeld}};
  int sent = 0;
  for (const auto& k : keys) {
    EXPECT_EQ(SendMessageW(Hwnd(*window), k.message, k.key, k.context | 1), 0) << k.what;
    EXPECT_EQ(events_.keysDown, ++sent) << k.what;
  }
  // Alt+F4 handed on to the system would have closed the window.
  backend_.RunWaitingEvents();
  EXPECT_EQ(events_.destroyed, 0);
  EXPECT_TRUE(IsWindow(Hwnd(*window)));
}

TEST_F(WindowTest, InvisiblePointerOnlyOverTheClientArea) {
  MAKE_WINDOW_OR_SKIP(hidden, platform::WindowStyle{platform::BorderStyle::None, false, true});
  MAKE_WINDOW_OR_SKIP(shown, platform::WindowStyle{platform::BorderStyle::None, false, false});
  const LPARAM overClient = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);
  EXPECT_EQ(SendMessageW(Hwnd(*hidden), WM_SETCURSOR, reinterpret_cast<WPARAM>(Hwnd(*hidden)),
                         overClient),
            TRUE);
  const HCURSOR blank = GetCursor();
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(blank, &info));
  const UniqueBitmap mask(info.hbmMask);
  const UniqueBitmap colour(info.hbmColor);
  EXPECT_EQ(info.xHotspot, 0u);
  EXPECT_EQ(info.yHotspot, 0u);
  SendMessageW(Hwnd(*shown), WM_SETCURSOR, reinterpret_cast<WPARAM>(Hwnd(*shown)), overClient);
  EXPECT_NE(GetCursor(), blank);
}

TEST_F(WindowTest, PaintsJustTheInvalidatedRectangles) {
  MAKE_WINDOW_OR_SKIP(window, platform::WindowStyle{platform::BorderStyle::None, false, false});
  window->SetBounds({0, 0, 300, 200});
  window->Show();
  ASSERT_TRUE(PumpUntil([&] { return !events_.painted.empty(); }));
  UpdateWindow(Hwnd(*window));
  backend_.RunWaitingEvents();
  events_.painted.clear();
  window->Invalidate({10, 10, 30, 20});
  window->Invalidate({200, 150, 260, 190});
  UpdateWindow(Hwnd(*window));
  EXPECT_THAT(events_.painted, ::testing::UnorderedElementsAre(PixelRect{10, 10, 30, 20},
                                                               PixelRect{200, 150, 260, 190}));
}

TEST_F(WindowTest, DestructionBySystemIsReportedOnce) {
  MAKE_WINDOW_OR_SKIP(window, platform::WindowStyle{});
  EXPECT_EQ(backend_.OpenWindowCount(), 1);
  DestroyWindow(Hwnd(*window));
  EXPECT_EQ(events_.destroyed, 1);
  EXPECT_EQ(window->Id(), 0);
  EXPECT_EQ(backend_.OpenWindowCount(), 0);
  window.reset();
  EXPECT_EQ(events_.destroyed, 1);
}

TEST_F(WindowTest, OurOwnDestructionIsNotReported) {
  MAKE_WINDOW_OR_SKIP(window, platform::WindowStyle{});
  const HWND handle = Hwnd(*window);
  window.reset();
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_EQ(events_.destroyed, 0);
}

TEST_F(WindowTest, TheMessageLoopEndsWithTheLastWindow) {
  MAKE_WINDOW_OR_SKIP(first, platform::WindowStyle{});
  MAKE_WINDOW_OR_SKIP(second, platform::WindowStyle{platform::BorderStyle::None, false, false});
  PostMessageW(Hwnd(*first), WM_CLOSE, 0, 0);  // closed from its system menu: gone by itself
  // The second window goes from inside a handler; the loop sees it afterwards.
  const auto timer = backend_.CreateTimer([&] { second.reset(); });
  timer->Run(20);
  EXPECT_EQ(backend_.RunMessageLoop(), 0);
  EXPECT_EQ(events_.destroyed, 1);
  EXPECT_EQ(backend_.OpenWindowCount(), 0);
}

TEST_F(WindowTest, NoWindowNoLoop) {
  EXPECT_EQ(backend_.RunMessageLoop(), 0);
}

// Refuses every window this thread would make while it lives, as a system short of resources does.
class RefuseNewWindows {
 public:
  RefuseNewWindows() : hook_(SetWindowsHookExW(WH_CBT, &Refuse, nullptr, GetCurrentThreadId())) {}
  ~RefuseNewWindows() {
    if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
  }
  RefuseNewWindows(const RefuseNewWindows&) = delete;
  RefuseNewWindows& operator=(const RefuseNewWindows&) = delete;

 private:
  static LRESULT CALLBACK Refuse(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) return 1;
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  HHOOK hook_;
};

TEST_F(WindowTest, AWindowTheSystemRefusesIsNoneAndTheProgramEndsWithAFailureStatus) {
  {
    const RefuseNewWindows refusal;
    EXPECT_EQ(Make(platform::WindowStyle{}), nullptr);
  }
  EXPECT_EQ(backend_.OpenWindowCount(), 0);
  EXPECT_EQ(backend_.RunMessageLoop(), 1);
}

}  // namespace
}  // namespace velloway::win32
