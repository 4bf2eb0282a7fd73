#include "script/colour_text.h"

#include <gtest/gtest.h>

namespace velloway {
namespace {

TEST(HexToColor, ReadsRedGreenBlueGroups) {
  const struct {
    const char* text;
    Color value;
  } cases[] = {
      {"FFFFFF", 16777215},
      {"000000", 0},
      {"", 0},
      {"FF0000", 255},
      {"00FF00", 65280},
      {"0000FF", 16711680},
      {"ff8000", 33023},
      {"FF8000", 33023},
      {"#FF8000", 63488},
      {"F", 15},
      {"FFFFF", 1048575},
      {"1G2H3I", 197121},
      {"G00000", 0},
      {"FFFFFF99", 16777215},
      {"0A0B0C", 0x0C0B0A},
      {" F0000", 0},
      {"\xEF\xBC\xA6\xEF\xBC\xA6", 0},  // full-width FF: no hexadecimal digit
      // Groups are counted in characters: a non-ASCII one is one character, not a digit.
      {"\xE3\x81\x82"
       "0FF00",
       0x00FF00},  // "あ0FF00"
      {"12\xE3\x81\x82"
       "456",
       0x560012},  // "12あ456": "あ4" gives 0
      {"1\xC3\xA9"
       "2345",
       0x452301},  // "1é2345": "1é" gives 1
      {"\xF0\x9F\x98\x80"
       "FF00FF",
       0x0FF000},  // "😀FF00FF": 😀F, F0, 0F
  };
  for (const auto& c : cases) EXPECT_EQ(HexToColor(c.text), c.value) << '"' << c.text << '"';
}

}  // namespace
}  // namespace velloway
