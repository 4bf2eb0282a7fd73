// Which installed face shows a font a script names, through fontconfig.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/posix/font_faces.h"

namespace velloway::posix {
namespace {

TEST(FontFaces, NamesTheFaceThatStandsInForAMissingOne) {
  // Debian's fonts-dejavu-core and fonts-liberation (scripts/setup installs them).
  EXPECT_TRUE(MatchFace("DejaVu Sans").Installed);
  EXPECT_TRUE(MatchFace("dejavu sans").Installed);
  const FaceMatch arial = MatchFace("Arial");
  EXPECT_FALSE(arial.Installed);
  EXPECT_EQ(arial.ShownIn, "Liberation Sans");
  EXPECT_TRUE(arial.SameMetrics);
  const FaceMatch missing = MatchFace("No Such Face");
  EXPECT_FALSE(missing.Installed);
  EXPECT_FALSE(missing.ShownIn.empty());
  EXPECT_FALSE(missing.SameMetrics);
  EXPECT_FALSE(MatchFace("Tahoma").SameMetrics);
}

TEST(FontFaces, AJapaneseFaceStandsInForTheFacesOfJapaneseWindows) {
  // Debian's fonts-ipafont-gothic (scripts/setup installs it), by every name and spelling.
  for (const char* face :
       {"MS Gothic", "ms pgothic", "MS UI Gothic", "MS Mincho", "MS PMincho", "Meiryo", "Yu Gothic",
        "\xEF\xBC\xAD\xEF\xBC\xB3 \xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF",
        "\xEF\xBC\xAD\xEF\xBC\xB3 \xEF\xBC\xB0\xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF",
        "\xEF\xBC\xAD\xEF\xBC\xB3 \xE6\x98\x8E\xE6\x9C\x9D",
        "\xEF\xBC\xAD\xEF\xBC\xB3 \xEF\xBC\xB0\xE6\x98\x8E\xE6\x9C\x9D",
        "\xE3\x83\xA1\xE3\x82\xA4\xE3\x83\xAA\xE3\x82\xAA",
        "\xE6\xB8\xB8\xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF"}) {
    const FaceMatch match = MatchFace(face);
    EXPECT_TRUE(match.JapaneseStandIn) << face << " in " << match.ShownIn;
    EXPECT_THAT(match.ShownIn, ::testing::StartsWith("IPA")) << face;
  }
  EXPECT_EQ(MatchFace("MS Gothic").ShownIn, "IPAGothic");
  EXPECT_FALSE(MatchFace("Tahoma").JapaneseStandIn);
}

TEST(FontFaces, InstalledCharactersAreThoseSomeFaceShows) {
  const CodePointSet shown = InstalledCharacters();
  EXPECT_TRUE(shown.Contains(U'A'));
  // Thai, in Debian's fonts-noto-core alone: a face a line falls back to, not the one it asks for.
  EXPECT_TRUE(shown.Contains(0x0E01));
  // Private use: no face has it.
  EXPECT_FALSE(shown.Contains(0xF0000));
}

}  // namespace
}  // namespace velloway::posix
