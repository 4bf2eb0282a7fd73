#include "script/normalise.h"

#include "base/utf8.h"

namespace velloway {
namespace {

char32_t Narrow(char32_t cp) {
  if (cp >= 0xFF01 && cp <= 0xFF5E) return cp - 0xFEE0;
  if (cp == 0x3000) return U' ';
  switch (cp) {
    case 0xFFE0:
      return 0x00A2;  // cent
    case 0xFFE1:
      return 0x00A3;  // pound
    case 0xFFE2:
      return 0x00AC;  // not
    case 0xFFE3:
      return 0x00AF;  // macron
    case 0xFFE4:
      return 0x00A6;  // broken bar
    case 0xFFE5:
      return 0x00A5;  // yen
    case 0xFFE6:
      return 0x20A9;  // won
    default:
      return cp;
  }
}

}  // namespace

std::string Normalise(std::string_view text) {
  return utf8::MapCodePoints(text, [](char32_t cp) { return utf8::ToUpper(Narrow(cp)); });
}

bool NormalisesTo(std::string_view text, std::string_view word) {
  std::size_t pos = 0;
  std::size_t matched = 0;
  while (pos < text.size()) {
    // A byte that is not UTF-8 decodes to U+FFFD, which, like the byte itself, is not ASCII.
    const auto byte = static_cast<unsigned char>(text[pos]);
    const char32_t decoded = byte < 0x80 ? (++pos, char32_t{byte}) : utf8::Decode(text, pos);
    const char32_t cp = utf8::ToUpper(Narrow(decoded));
    if (matched == word.size() || cp != static_cast<unsigned char>(word[matched])) return false;
    ++matched;
  }
  return matched == word.size();
}

}  // namespace velloway
