#pragma once
#include <string_view>

namespace velloway::win32 {

// The arguments part of a command line: the program's path skipped as Windows does (up to the
// closing quote when it starts with one, else up to the first blank), then the blanks that
// separate it from the arguments. "velloway.scr /s" gives "/s", "velloway.scr" gives "".
std::wstring_view ArgumentText(std::wstring_view commandLine);

}  // namespace velloway::win32
