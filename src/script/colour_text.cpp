#include "script/colour_text.h"

#include <array>

#include "base/utf8.h"

namespace velloway {
namespace {

int HexDigit(char32_t c) {
  if (c >= U'0' && c <= U'9') return static_cast<int>(c - U'0');
  if (c >= U'A' && c <= U'F') return static_cast<int>(c - U'A') + 10;
  if (c >= U'a' && c <= U'f') return static_cast<int>(c - U'a') + 10;
  return -1;
}

// The value of the hexadecimal digits at the start of a group of two characters.
int ReadGroup(char32_t first, char32_t second) {
  const int high = HexDigit(first);
  if (high < 0) return 0;
  const int low = HexDigit(second);
  return low < 0 ? high : high * 16 + low;
}

}  // namespace

Color HexToColor(std::string_view Text) {
  // The first six characters, counted as code points; those missing read as no digit.
  std::array<char32_t, 6> chars{};
  std::size_t pos = 0;
  for (std::size_t i = 0; i < chars.size() && pos < Text.size(); ++i) {
    chars[i] = utf8::Decode(Text, pos);
  }
  const int red = ReadGroup(chars[0], chars[1]);
  const int green = ReadGroup(chars[2], chars[3]);
  const int blue = ReadGroup(chars[4], chars[5]);
  return red + 256 * green + 65536 * blue;
}

}  // namespace velloway
