#pragma once
#include <windows.h>

#include <utility>

namespace velloway::win32 {

// The primary monitor's DPI (x, y): its own where shcore tells it, else the system's.
std::pair<int, int> PrimaryDpi(HMODULE shcore);

}  // namespace velloway::win32
