// The arguments part of the command line the program is started with.
#include <gtest/gtest.h>

#include <string_view>

#include "programs/windows/command_line.h"

namespace velloway::win32 {
namespace {

struct ArgumentCase {
  const wchar_t* commandLine;
  const wchar_t* expected;
};

class ArgumentTextTest : public ::testing::TestWithParam<ArgumentCase> {};

TEST_P(ArgumentTextTest, SkipsTheProgramPathAndTheSeparatingBlanks) {
  EXPECT_EQ(ArgumentText(GetParam().commandLine), std::wstring_view(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, ArgumentTextTest,
    ::testing::Values(ArgumentCase{L"velloway.scr /s", L"/s"}, ArgumentCase{L"velloway.scr", L""},
                      ArgumentCase{L"velloway.scr ", L""}, ArgumentCase{L"", L""},
                      ArgumentCase{L"velloway.scr   /c:1234", L"/c:1234"},
                      ArgumentCase{L"velloway.scr\t/p 5678", L"/p 5678"},
                      ArgumentCase{L"velloway.scr /s  ", L"/s  "},
                      ArgumentCase{L"\"C:\\Program Files\\velloway.scr\" /S", L"/S"},
                      ArgumentCase{L"\"C:\\a b\\velloway.scr\"", L""},
                      ArgumentCase{L"\"C:\\a b\\velloway.scr\"/s", L"/s"},
                      ArgumentCase{L"\"C:\\unterminated /s", L""},
                      ArgumentCase{L"C:\\dir\\velloway.scr /a 12 /x", L"/a 12 /x"}));

}  // namespace
}  // namespace velloway::win32
