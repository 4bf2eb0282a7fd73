#include "base/utf8.h"

#include <cstring>

namespace velloway::utf8 {
namespace {

unsigned char Byte(std::string_view text, std::size_t pos) {
  return static_cast<unsigned char>(text[pos]);
}

bool IsContinuation(unsigned char b) {
  return (b & 0xC0) == 0x80;
}

}  // namespace

char32_t Decode(std::string_view text, std::size_t& pos) {
  const unsigned char lead = Byte(text, pos);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  std::size_t length = 0;
  char32_t cp = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, cp = lead & 0x1Fu, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, cp = lead & 0x0Fu, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, cp = lead & 0x07u, minimum = 0x10000;
  } else {
    ++pos;
    return kReplacement;
  }
  if (pos + length > text.size()) {
    ++pos;
    return kReplacement;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char b = Byte(text, pos + i);
    if (!IsContinuation(b)) {
      ++pos;
      return kReplacement;
    }
    cp = (cp << 6) | (b & 0x3Fu);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++pos;
    return kReplacement;
  }
  pos += length;
  return cp;
}

std::size_t EncodedLength(char32_t cp) {
  if (cp < 0x80) return 1;
  if (cp < 0x800) return 2;
  return cp < 0x10000 ? 3 : 4;
}

void Append(std::string& out, char32_t cp) {
  const auto put = [&out](char32_t bits) { out.push_back(static_cast<char>(bits)); };
  if (cp < 0x80) {
    put(cp);
  } else if (cp < 0x800) {
    put(0xC0 | (cp >> 6));
    put(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    put(0xE0 | (cp >> 12));
    put(0x80 | ((cp >> 6) & 0x3F));
    put(0x80 | (cp & 0x3F));
  } else {
    put(0xF0 | (cp >> 18));
    put(0x80 | ((cp >> 12) & 0x3F));
    put(0x80 | ((cp >> 6) & 0x3F));
    put(0x80 | (cp & 0x3F));
  }
}

bool IsValid(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    // Scripts are mostly ASCII: skip eight plain bytes at a time.
    if (pos + 8 <= text.size()) {
      unsigned long long block = 0;
      std::memcpy(&block, text.data() + pos, 8);
      if ((block & 0x8080808080808080ULL) == 0) {
        pos += 8;
        continue;
      }
    }
    if (Byte(text, pos) < 0x80) {
      ++pos;
      continue;
    }
    const std::size_t before = pos;
    if (Decode(text, pos) == kReplacement) {
      // A literal U+FFFD is three bytes; a replacement for a bad sequence advances by one.
      if (pos - before == 1) return false;
    }
  }
  return true;
}

std::size_t CharStart(std::string_view text, std::size_t pos) {
  if (pos >= text.size()) return text.size();
  while (pos > 0 && IsContinuation(Byte(text, pos))) --pos;
  return pos;
}

std::string ElideMiddle(std::string_view text, std::size_t keptBytes) {
  if (text.size() <= keptBytes) return std::string(text);
  const std::size_t head = CharStart(text, keptBytes / 2);
  std::size_t tail = text.size() - (keptBytes - keptBytes / 2);
  while (tail < text.size() && IsContinuation(Byte(text, tail))) ++tail;
  std::string out(text.substr(0, head));
  out += "...";
  out += text.substr(tail);
  return out;
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

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return MapCodePoints(a, ToUpper) == MapCodePoints(b, ToUpper);
}

}  // namespace velloway::utf8
