#include "script/colour_text.h"

namespace velloway {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The value of the hexadecimal digits at the start of a group of at most two characters.
int ReadGroup(std::string_view text, std::size_t start) {
  int value = 0;
  for (std::size_t i = start; i < start + 2 && i < text.size(); ++i) {
    const int digit = HexDigit(text[i]);
    if (digit < 0) break;
    value = value * 16 + digit;
  }
  return value;
}

}  // namespace

ColorValue HexToColor(std::string_view Text) {
  const int red = ReadGroup(Text, 0);
  const int green = ReadGroup(Text, 2);
  const int blue = ReadGroup(Text, 4);
  return red + 256 * green + 65536 * blue;
}

}  // namespace velloway
