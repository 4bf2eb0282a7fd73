#include "script/normalise.h"

#include <gtest/gtest.h>

namespace velloway {
namespace {

TEST(Normalise, UpperCasesAndNarrows) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"text", "TEXT"},
      {"Text", "TEXT"},
      {"TEXT", "TEXT"},
      {"\xEF\xBC\xB4\xEF\xBC\xA5\xEF\xBC\xB8\xEF\xBC\xB4", "TEXT"},  // ＴＥＸＴ
      {"\xEF\xBD\x8D\xEF\xBD\x89\xEF\xBD\x84", "MID"},               // ｍｉｄ
      {"\xE3\x80\x80mid", " MID"},                                   // ideographic space
      {"\xEF\xBC\x81\xEF\xBD\x9E", "!~"},                            // U+FF01, U+FF5E
      {"\xEF\xBF\xA5", "\xC2\xA5"},                                  // full-width yen
      {" clear ", " CLEAR "},
      {"\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89"},                // été
      {"\xD0\xB1\xD0\xB3", "\xD0\x91\xD0\x93"},                  // бг
      {"\xE6\x97\xA5\xE6\x9C\xAC", "\xE6\x97\xA5\xE6\x9C\xAC"},  // 日本 unchanged
      {"", ""},
      {"a\xFF"
       "b",
       "A\xFF"
       "B"},  // stray byte kept
  };
  for (const auto& c : cases) EXPECT_EQ(Normalise(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace velloway
