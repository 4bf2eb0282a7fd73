#include "script/encoding.h"

#include <string_view>
#include <utility>

#include "base/utf8.h"
#include "platform/codepage.h"

namespace velloway {
namespace {

bool StartsWith(std::string_view bytes, std::string_view prefix) {
  return bytes.substr(0, prefix.size()) == prefix;
}

// Turns code points into UTF-8 in a string sized exactly: produce(sink) calls sink(cp) for each,
// once to count the bytes and once to write them. A script may grow three-fold when decoded; the
// text must not take twice that while it grows.
template <typename Produce>
std::string ExactUtf8(Produce produce) {
  std::size_t size = 0;
  produce([&size](char32_t cp) { size += utf8::EncodedLength(cp); });
  std::string out;
  out.reserve(size);
  produce([&out](char32_t cp) { utf8::Append(out, cp); });
  return out;
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
  const auto unitAt = [&](std::size_t i) {
    const auto hi = static_cast<unsigned char>(bytes[bigEndian ? i : i + 1]);
    const auto lo = static_cast<unsigned char>(bytes[bigEndian ? i + 1 : i]);
    return static_cast<char32_t>((hi << 8) | lo);
  };
  return ExactUtf8([&](auto&& sink) {
    std::size_t i = 0;
    while (i + 1 < bytes.size()) {
      char32_t cp = unitAt(i);
      i += 2;
      if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < bytes.size()) {
        const char32_t low = unitAt(i);
        if (low >= 0xDC00 && low <= 0xDFFF) {
          cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          i += 2;
        }
      }
      if (cp >= 0xD800 && cp <= 0xDFFF) cp = utf8::kReplacement;  // unpaired surrogate
      sink(cp);
    }
    if (i < bytes.size()) sink(utf8::kReplacement);  // odd trailing byte
  });
}

std::string ReplaceInvalidUtf8(std::string_view bytes) {
  return ExactUtf8([&](auto&& sink) {
    std::size_t pos = 0;
    while (pos < bytes.size()) sink(utf8::Decode(bytes, pos));
  });
}

// Every script line starts with a command word or HEADER, or is blank, so a file whose first two
// characters are ASCII, each followed (or preceded) by a NUL, is UTF-16 saved without its
// byte-order mark; in any 8-bit reading it would have NULs inside its first word.
bool IsAscii(unsigned char byte) {
  return byte == '\t' || byte == '\r' || byte == '\n' || (byte >= 0x20 && byte < 0x7F);
}
bool LooksLikeUtf16(std::string_view bytes, bool bigEndian) {
  if (bytes.size() < 4) return false;
  for (std::size_t unit = 0; unit < 4; unit += 2) {
    const auto low = static_cast<unsigned char>(bytes[unit + (bigEndian ? 1 : 0)]);
    if (!IsAscii(low) || bytes[unit + (bigEndian ? 0 : 1)] != '\0') return false;
  }
  return true;
}

}  // namespace

DecodedScript DecodeScriptBytes(std::string bytes, unsigned legacyCodePage) {
  constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
  constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
  constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

  if (StartsWith(bytes, kUtf8Bom)) {
    bytes.erase(0, kUtf8Bom.size());  // in place: no second copy of the text
    if (utf8::IsValid(bytes)) return {std::move(bytes), ScriptEncoding::Utf8WithBom};
    return {ReplaceInvalidUtf8(bytes), ScriptEncoding::Utf8WithBom};
  }
  const std::string_view view = bytes;
  if (StartsWith(view, kUtf16LeBom)) {
    return {Utf16ToUtf8(view.substr(2), false), ScriptEncoding::Utf16LE};
  }
  if (StartsWith(view, kUtf16BeBom)) {
    return {Utf16ToUtf8(view.substr(2), true), ScriptEncoding::Utf16BE};
  }
  if (LooksLikeUtf16(view, false)) return {Utf16ToUtf8(view, false), ScriptEncoding::Utf16LE};
  if (LooksLikeUtf16(view, true)) return {Utf16ToUtf8(view, true), ScriptEncoding::Utf16BE};
  if (utf8::IsValid(view)) return {std::move(bytes), ScriptEncoding::Utf8};
  return {platform::LegacyToUtf8(view, legacyCodePage), ScriptEncoding::LegacyCodePage};
}

}  // namespace velloway
