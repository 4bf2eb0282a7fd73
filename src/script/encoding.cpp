#include "script/encoding.h"

#include <string_view>
#include <utility>

#include "platform/codepage.h"
#include "platform/utf8.h"

namespace velloway {
namespace {

bool StartsWith(std::string_view bytes, std::string_view prefix) {
  return bytes.substr(0, prefix.size()) == prefix;
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
  const auto unitAt = [&](std::size_t i) {
    const auto hi = static_cast<unsigned char>(bytes[bigEndian ? i : i + 1]);
    const auto lo = static_cast<unsigned char>(bytes[bigEndian ? i + 1 : i]);
    return static_cast<char32_t>((hi << 8) | lo);
  };
  std::string out;
  out.reserve(bytes.size());
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
    utf8::Append(out, cp);
  }
  if (i < bytes.size()) utf8::Append(out, utf8::kReplacement);  // odd trailing byte
  return out;
}

std::string ReplaceInvalidUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  std::size_t pos = 0;
  while (pos < bytes.size()) utf8::Append(out, utf8::Decode(bytes, pos));
  return out;
}

}  // namespace

DecodedScript DecodeScriptBytes(std::string bytes, unsigned legacyCodePage) {
  constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
  constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
  constexpr std::string_view kUtf16BeBom = "\xFE\xFF";
  const std::string_view view = bytes;

  if (StartsWith(view, kUtf8Bom)) {
    const std::string_view body = view.substr(kUtf8Bom.size());
    if (utf8::IsValid(body)) return {std::string(body), ScriptEncoding::Utf8WithBom};
    return {ReplaceInvalidUtf8(body), ScriptEncoding::Utf8WithBom};
  }
  if (StartsWith(view, kUtf16LeBom)) {
    return {Utf16ToUtf8(view.substr(2), false), ScriptEncoding::Utf16LE};
  }
  if (StartsWith(view, kUtf16BeBom)) {
    return {Utf16ToUtf8(view.substr(2), true), ScriptEncoding::Utf16BE};
  }
  if (utf8::IsValid(view)) return {std::move(bytes), ScriptEncoding::Utf8};
  return {platform::LegacyToUtf8(view, legacyCodePage), ScriptEncoding::LegacyCodePage};
}

}  // namespace velloway
