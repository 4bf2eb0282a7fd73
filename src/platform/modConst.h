#pragma once
// Constants of the window-manager calls in modAPI. Not for files that include <windows.h>,
// which defines the same names as macros.
#include <cstdint>

#include "platform/modAPI.h"

namespace velloway {

inline constexpr WindowHandle HWND_TOPMOST = -1;
inline constexpr std::uint32_t SWP_NOSIZE = 1;
inline constexpr std::uint32_t SWP_NOMOVE = 2;
inline constexpr std::uint32_t SWP_NOZORDER = 4;
inline constexpr std::uint32_t SWP_NOACTIVATE = 16;
inline constexpr std::int32_t GWL_STYLE = -16;
inline constexpr std::uint32_t GW_OWNER = 4;
inline constexpr std::int32_t WS_CHILD = 0x40000000;
inline constexpr std::uint32_t WS_POPUP = 0x80000000u;

}  // namespace velloway
