// The program's place and the screen as the Windows backend reads them (under Wine in the build).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/backend.h"
#include "platform/wide_text.h"
#include "platform/win32/win32_backend.h"

namespace velloway::win32 {
namespace {

using platform::Utf8ToWide;

TEST(BackendTest, ProgramFolderIsTheProgramsDirectory) {
  Win32Backend backend;
  wchar_t module[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  const std::string path = backend.ProgramFolder();
  ASSERT_FALSE(path.empty());
  EXPECT_NE(path.back(), '\\');
  EXPECT_EQ(Utf8ToWide(path) + L"\\" + std::wstring(wcsrchr(module, L'\\') + 1),
            std::wstring(module));
}

TEST(BackendTest, ScreenHasASizeAndDpi) {
  Win32Backend backend;
  const platform::ScreenMetrics screen = backend.Screen();
  EXPECT_GT(screen.WidthPx, 0);
  EXPECT_GT(screen.HeightPx, 0);
  EXPECT_GE(screen.DpiX, 72);
  EXPECT_GE(screen.DpiY, 72);
  for (const platform::MonitorArea& monitor : screen.OtherMonitors) {
    EXPECT_FALSE(monitor.Bounds.IsEmpty());
    EXPECT_GE(monitor.DpiX, 72);
    EXPECT_GE(monitor.DpiY, 72);
  }
}

}  // namespace
}  // namespace velloway::win32
