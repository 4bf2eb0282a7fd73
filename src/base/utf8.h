#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace velloway::utf8 {

inline constexpr char32_t kReplacement = 0xFFFD;

// Decodes the code point at text[pos] and advances pos past it. An ill-formed sequence (bad
// lead or continuation byte, overlong form, surrogate, beyond U+10FFFF, cut short) yields
// kReplacement and advances by one byte, so decoding always makes progress.
char32_t Decode(std::string_view text, std::size_t& pos);

// How many bytes code point cp takes in UTF-8.
std::size_t EncodedLength(char32_t cp);

// Appends code point cp in UTF-8.
void Append(std::string& out, char32_t cp);

// True when the whole text is well-formed UTF-8.
bool IsValid(std::string_view text);

// The start of the character that byte pos belongs to (pos itself at a character's start or at
// the end), so that text cut there keeps whole characters.
std::size_t CharStart(std::string_view text, std::size_t pos);

// The capital of a Latin-1, Greek or Cyrillic small letter; any other code point as it is.
char32_t ToUpper(char32_t cp);

// text with map applied to every code point; bytes that are not UTF-8 stay as they are.
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
    const char32_t cp = Decode(text, pos);
    if (cp == kReplacement && pos - start == 1) {
      out.push_back(c);  // not UTF-8: keep the byte as it is
      continue;
    }
    Append(out, map(cp));
  }
  return out;
}

// Compares two texts without regard to letter case (ToUpper); full-width letters stay apart
// from their narrow forms.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// text with its middle replaced by "..." so that at most keptBytes of it remain, whole characters
// from its start and its end; text itself when it is not longer than that.
std::string ElideMiddle(std::string_view text, std::size_t keptBytes);

}  // namespace velloway::utf8
