// Which characters the fonts installed on this system show.
#include "platform/win32/font_coverage.h"

#include <gtest/gtest.h>

namespace velloway::win32 {
namespace {

TEST(FontCoverage, InstalledCharactersAreThoseSomeFontShows) {
  const CodePointSet shown = InstalledCharacters();
  EXPECT_TRUE(shown.Contains(U'A'));
  // Thai: Noto Sans Thai has it (scripts/wine-prefix installs it), not the faces lines ask for.
  EXPECT_TRUE(shown.Contains(0x0E01));
  // Adlam, beyond the Basic Multilingual Plane, where GDI's ranges do not reach: Noto Sans Adlam,
  // of Debian's fonts-noto-core (scripts/setup installs it), which Wine finds among the host's
  // fonts.
  EXPECT_TRUE(shown.Contains(0x1E900));
  // Private use: no font has it.
  EXPECT_FALSE(shown.Contains(0xF0000));
}

}  // namespace
}  // namespace velloway::win32
