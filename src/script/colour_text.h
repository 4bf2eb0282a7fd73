#pragma once
#include <cstdint>
#include <string_view>

#include "base/color.h"

namespace velloway {

// Reads an RRGGBB text. Characters are counted as such, not as bytes: red is the first two, green
// the third and fourth, blue the fifth and sixth. Each group reads its leading hexadecimal digits
// (a group that is empty or starts with another character, such as "あ", gives 0); characters
// from the seventh on are ignored, and no prefix is recognised, so "#FF8000" reads as #F, F8, 00.
Color HexToColor(std::string_view Text);

}  // namespace velloway
