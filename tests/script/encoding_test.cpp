#include "script/encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace velloway {
namespace {

// "日本語 TEXT" in each of the encodings a script may use.
const std::string kUtf8 = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E TEXT";

std::string Utf16(bool bigEndian, bool withBom) {
  const char16_t units[] = {0x65E5, 0x672C, 0x8A9E, ' ', 'T', 'E', 'X', 'T'};
  std::string bytes;
  const auto put = [&](char16_t u) {
    const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
    bytes += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
  };
  if (withBom) put(0xFEFF);
  for (const char16_t u : units) put(u);
  return bytes;
}

TEST(DecodeScriptBytes, RecognisesEachEncoding) {
  const struct {
    std::string bytes;
    ScriptEncoding encoding;
  } cases[] = {
      {kUtf8, ScriptEncoding::Utf8},
      {"\xEF\xBB\xBF" + kUtf8, ScriptEncoding::Utf8WithBom},
      {Utf16(false, true), ScriptEncoding::Utf16LE},
      {Utf16(true, true), ScriptEncoding::Utf16BE},
      {"\x93\xFA\x96\x7B\x8C\xEA TEXT", ScriptEncoding::LegacyCodePage},  // Shift-JIS
  };
  for (const auto& c : cases) {
    const DecodedScript decoded = DecodeScriptBytes(c.bytes, 932);
    EXPECT_EQ(decoded.Text, kUtf8);
    EXPECT_EQ(decoded.Encoding, c.encoding);
  }
}

TEST(DecodeScriptBytes, Utf16WithoutByteOrderMarkIsKnownByItsAsciiFirstCharacter) {
  const struct {
    std::string bytes;
    ScriptEncoding encoding;
    std::string text;
  } cases[] = {
      {std::string("T\0A\0\xE5\x65", 6), ScriptEncoding::Utf16LE, "TA\xE6\x97\xA5"},
      {std::string("\0T\0A\x65\xE5", 6), ScriptEncoding::Utf16BE, "TA\xE6\x97\xA5"},
      {std::string("\r\0\n\0", 4), ScriptEncoding::Utf16LE, "\r\n"},
      // NULs after bytes that no script starts with stay NULs.
      {std::string("\x01\0A\0", 4), ScriptEncoding::Utf8, std::string("\x01\0A\0", 4)},
      {std::string("A\0\0\0", 4), ScriptEncoding::Utf8, std::string("A\0\0\0", 4)},
  };
  for (const auto& c : cases) {
    const DecodedScript decoded = DecodeScriptBytes(c.bytes, 1252);
    EXPECT_EQ(decoded.Encoding, c.encoding) << c.text;
    EXPECT_EQ(decoded.Text, c.text);
  }
}

TEST(DecodeScriptBytes, LegacyBytesUseTheGivenCodePage) {
  // 0xE9 is é in Windows-1252; a lone 0xE9 is not UTF-8.
  EXPECT_EQ(DecodeScriptBytes("caf\xE9", 1252).Text, "caf\xC3\xA9");
  // Longer than the pieces it is converted in, with a two-byte character across each boundary.
  std::string sjis = "a";
  std::string utf8 = "a";
  for (int i = 0; i < 100'000; ++i) {
    sjis += "\x82\xA0";
    utf8 += "\xE3\x81\x82";  // あ
  }
  EXPECT_EQ(DecodeScriptBytes(sjis, 932).Text, utf8);
}

TEST(DecodeScriptBytes, BrokenInputBecomesReplacementCharacters) {
  const std::string replacement = "\xEF\xBF\xBD";
  const struct {
    std::string bytes;
    std::string text;
  } cases[] = {
      {"\xEF\xBB\xBF"
       "a\xFF"
       "b",
       "a" + replacement + "b"},  // bad byte after a UTF-8 mark
      {"\xFF\xFE"
       "A",
       replacement},  // odd byte count
      {std::string("\xFF\xFE\x00\xD8"
                   "A\x00",
                   6),
       replacement + "A"},                                               // unpaired surrogate
      {std::string("\xFF\xFE\x3D\xD8\x00\xDE", 6), "\xF0\x9F\x98\x80"},  // a surrogate pair
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeScriptBytes(c.bytes, 1252).Text, c.text);
}

TEST(DecodeScriptBytes, KeepsNulBytesOfUtf8Text) {
  const std::string bytes("A\0B", 3);
  EXPECT_EQ(DecodeScriptBytes(bytes, 1252).Text, bytes);
}

}  // namespace
}  // namespace velloway
