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

char32_t ToUpper(char32_t cp) {
  if (cp >= U'a' && cp <= U'z') return cp - 0x20;
  if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) return cp - 0x20;  // Latin-1 letters
  if (cp == 0xFF) return 0x178;
  if (cp >= 0x3B1 && cp <= 0x3C9 && cp != 0x3C2) return cp - 0x20;  // Greek
  if (cp >= 0x430 && cp <= 0x44F) return cp - 0x20;                 // Cyrillic
  if (cp >= 0x450 && cp <= 0x45F) return cp - 0x50;
  return cp;
}

// Applies map to every code point; bytes that are not UTF-8 stay as they are.
template <typename Map>
std::string MapCodePoints(std::string_view text, Map map) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    const char c = text[pos];
    if (static_cast<unsigned char>(c) < 0x80) {
      out.push_back(static_cast<char>(map(static_cast<char32_t>(c))));
      ++pos;
      continue;
    }
    const std::size_t start = pos;
    const char32_t cp = utf8::Decode(text, pos);
    if (cp == utf8::kReplacement && pos - start == 1) {
      out.push_back(c);  // not UTF-8: keep the byte as it is
      continue;
    }
    utf8::Append(out, map(cp));
  }
  return out;
}

}  // namespace

std::string Normalise(std::string_view text) {
  return MapCodePoints(text, [](char32_t cp) { return ToUpper(Narrow(cp)); });
}

bool NormalisesTo(std::string_view text, std::string_view word) {
  std::size_t pos = 0;
  std::size_t matched = 0;
  while (pos < text.size()) {
    // A byte that is not UTF-8 decodes to U+FFFD, which, like the byte itself, is not ASCII.
    const auto byte = static_cast<unsigned char>(text[pos]);
    const char32_t decoded = byte < 0x80 ? (++pos, char32_t{byte}) : utf8::Decode(text, pos);
    const char32_t cp = ToUpper(Narrow(decoded));
    if (matched == word.size() || cp != static_cast<unsigned char>(word[matched])) return false;
    ++matched;
  }
  return matched == word.size();
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return MapCodePoints(a, ToUpper) == MapCodePoints(b, ToUpper);
}

}  // namespace velloway
