#pragma once
// Why something the program needed could not be had, for a developer's debugger: the user sees
// nothing (a message box would hide behind a topmost full-screen window).
#include <windows.h>

#include <string_view>

namespace velloway::win32 {

// Writes "Velloway: <what>: error <error>" and a line break to the debugger output.
void ReportFailure(std::wstring_view what, DWORD error);

}  // namespace velloway::win32
