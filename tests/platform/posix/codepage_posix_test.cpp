// The code page a script is read in, from the locale, as the Linux program reads it.
#include <gtest/gtest.h>

#include <utility>

#include "platform/codepage.h"

namespace velloway::platform {
namespace {

TEST(CodePage, AJapaneseLocaleReads932AndAnyOther1252) {
  const std::pair<const char*, unsigned> cases[] = {
      {"ja_JP.UTF-8", 932}, {"ja_JP.eucJP", 932}, {"ja", 932},     {"ja.UTF-8", 932},
      {"C", 1252},          {"C.UTF-8", 1252},    {"POSIX", 1252}, {"en_US.UTF-8", 1252},
      {"de_DE@euro", 1252}, {"jam", 1252},        {"kl_GL", 1252}, {"", 1252},
  };
  for (const auto& [locale, codePage] : cases) {
    EXPECT_EQ(platform::CodePageForLocale(locale), codePage) << locale;
  }
}

}  // namespace
}  // namespace velloway::platform
