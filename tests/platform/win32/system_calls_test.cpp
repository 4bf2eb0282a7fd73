// The system calls as the backend makes them (under Wine in the build): text in the system code
// page, and the media system's commands.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/win32/silent_wave.h"
#include "platform/win32/system_calls.h"
#include "support/temp_dir.h"

namespace velloway::win32 {
namespace {

struct CodePageCase {
  const wchar_t* text;
  unsigned codePage;
  std::optional<std::string> expected;
};

class CodePageTest : public ::testing::TestWithParam<CodePageCase> {};

TEST_P(CodePageTest, ConvertsOnlyWhatTheCodePageHoldsExactly) {
  EXPECT_EQ(ToCodePageExactly(GetParam().text, GetParam().codePage), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CodePageTest,
    ::testing::Values(CodePageCase{L"", 1252, std::string()},
                      CodePageCase{L"status bgm mode", 1252, std::string("status bgm mode")},
                      CodePageCase{L"caf\u00e9", 1252, std::string("caf\xe9")},
                      CodePageCase{L"\u65e5\u672c", 1252, std::nullopt},
                      // Best fit would give "A": not exact.
                      CodePageCase{L"\u0100", 1252, std::nullopt},
                      CodePageCase{L"\u65e5\u672c", 932, std::string("\x93\xfa\x96\x7b")},
                      CodePageCase{L"caf\u00e9", 932, std::nullopt},
                      CodePageCase{L"\u65e5\u672c", CP_UTF8,
                                   std::string("\xe6\x97\xa5\xe6\x9c\xac")}));

TEST(MediaTest, CommandsReachTheDeviceInTheCodePageOrAsUnicode) {
  testing::TempDir dir;
  const std::string name = "caf\xc3\xa9.wav";  // in the ANSI code page: sent through the "A" call
  dir.Write(name, SilentWave());
  Win32SystemCalls calls;
  std::string reply;
  const std::string open = "open \"" + dir.Utf8() + "\\" + name + "\" type waveaudio alias ";
  if (calls.mciSendStringA(open + "w", reply, 0, nullptr) != 0) {
    GTEST_SKIP() << "no wave audio device";
  }
  reply = std::string(64, ' ');
  EXPECT_EQ(calls.mciSendStringA("status w mode", reply, 64, nullptr), 0u);
  EXPECT_EQ(reply, "stopped");
  EXPECT_EQ(calls.mciExecute("close w"), 0u);

  // Beyond the code page the command goes as UTF-16: an alias in Japanese is not confused with
  // another one, as it would be if both became "??".
  const std::string japan = "\xe6\x97\xa5\xe6\x9c\xac";
  const std::string china = "\xe4\xb8\xad\xe5\x9b\xbd";
  ASSERT_EQ(calls.mciSendStringA(open + japan, reply, 0, nullptr), 0u);
  EXPECT_EQ(calls.mciSendStringA("status " + japan + " mode", reply, 64, nullptr), 0u);
  EXPECT_EQ(reply, "stopped");
  EXPECT_NE(calls.mciSendStringA("status " + china + " mode", reply, 64, nullptr), 0u);
  EXPECT_EQ(calls.mciExecute("close " + japan), 0u);
}

TEST(MediaTest, FailuresReturnTheErrorWithoutAMessageBox) {
  Win32SystemCalls calls;
  std::string reply = "unchanged";
  const MCIERROR error = calls.mciSendStringA("bogus command", reply, 0, nullptr);
  EXPECT_NE(error, 0u);
  EXPECT_EQ(reply, "unchanged");  // no reply asked for
  EXPECT_EQ(calls.mciExecute("bogus command"), error);
  EXPECT_NE(calls.mciExecute("close \xe6\x97\xa5\xe6\x9c\xac"), 0u);
}

}  // namespace
}  // namespace velloway::win32
