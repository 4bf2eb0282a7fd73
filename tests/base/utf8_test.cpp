#include "base/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace velloway::utf8 {
namespace {

TEST(ElideMiddle, KeepsWholeCharactersFromBothEnds) {
  const std::string sun = "\xE6\x97\xA5";  // three bytes
  const struct {
    std::string text;
    std::size_t kept;
    std::string elided;
  } cases[] = {
      {"C:\\Velloway\\Night.vws", 100, "C:\\Velloway\\Night.vws"},
      {"C:\\Velloway\\Night.vws", 21, "C:\\Velloway\\Night.vws"},
      {"abcdefghij", 4, "ab...ij"},
      {"abcdefghij", 5, "ab...hij"},
      {"abcdefghij", 0, "..."},
      // A cut inside a character leaves the whole character out.
      {sun + sun + "xyz" + sun + sun, 8, sun + "..." + sun},
      {sun + sun + "xyz" + sun + sun, 12, sun + sun + "..." + sun + sun},
  };
  for (const auto& c : cases) {
    const std::string elided = ElideMiddle(c.text, c.kept);
    EXPECT_EQ(elided, c.elided) << c.text << " kept " << c.kept;
    EXPECT_TRUE(IsValid(elided));
  }
}

}  // namespace
}  // namespace velloway::utf8
