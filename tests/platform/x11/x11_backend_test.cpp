// The parts of the X11 backend that decide something without a display: the DPI, the command
// line, the code page of the locale, font faces, and the music device.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/posix/font_faces.h"
#include "platform/posix/sdl_music_device.h"
#include "platform/x11/launch_options.h"
#include "platform/x11/screen_dpi.h"
#include "support/temp_dir.h"

namespace velloway::x11 {
namespace {

using posix::FaceMatch;
using posix::MatchFace;
using posix::SdlMusicDevice;

TEST(ScreenDpi, XftDpiFirstThenThePhysicalSizeThen96) {
  struct Case {
    std::optional<std::string_view> resources;
    int pixels;
    int millimetres;
    int dpi;
  };
  const Case cases[] = {
      {"Xft.dpi:\t120\n", 1080, 286, 120},
      {"Xft.antialias:\t1\nXft.dpi:  144.4\nXcursor.size: 24\n", 1080, 286, 144},
      {"Xft.dpi:\t96\nXft.dpi:\t192\n", 1080, 286, 192},  // the last one counts
      {"Xft.dpi:\tlarge\n", 1080, 286, 96},               // unreadable: the physical size
      {"Xft.dpi:\t5000\n", 1080, 143, 192},               // absurd: the physical size
      {std::nullopt, 1080, 286, 96},
      {std::nullopt, 2160, 286, 192},
      {"*background: grey\n", 1080, 0, 96},  // no physical size either
      {std::nullopt, 1080, 1, 96},           // an absurd physical size
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ScreenDpi(c.resources, c.pixels, c.millimetres), c.dpi)
        << (c.resources ? *c.resources : "(none)") << " " << c.pixels << "/" << c.millimetres;
  }
}

TEST(LaunchOptions, ReadsThePlaceTheScriptAndTheOptions) {
  struct Case {
    std::vector<std::string> args;
    StageKind stage;
    std::uint32_t windowId;
    std::string script;
    bool smooth;
    bool everyMonitor;
    std::optional<unsigned> codePage;
  };
  const Case cases[] = {
      {{}, StageKind::FullScreen, 0, "", false, false, std::nullopt},
      {{"--root"}, StageKind::Root, 0, "", false, false, std::nullopt},
      {{"-root", "-script", "a b.vws"}, StageKind::Root, 0, "a b.vws", false, false, std::nullopt},
      {{"--window-id", "0x2a00004", "--smooth"},
       StageKind::GivenWindow,
       0x2a00004,
       "",
       true,
       false,
       std::nullopt},
      {{"--window-id", "0X2A00004"},
       StageKind::GivenWindow,
       0x2a00004,
       "",
       false,
       false,
       std::nullopt},
      {{"--window-id", "4194308"}, StageKind::GivenWindow, 4194308, "", false, false, std::nullopt},
      // The daemon's settings program adds --window-id to the command for its preview.
      {{"--root", "--window-id", "0x50d"}, StageKind::GivenWindow, 0x50d, "", false, false, {}},
      {{"-window-id", "0x50d", "-root"}, StageKind::GivenWindow, 0x50d, "", false, false, {}},
      {{"--window", "--every-monitor", "--codepage", "932"},
       StageKind::OwnWindow,
       0,
       "",
       false,
       true,
       932u},
  };
  for (const Case& c : cases) {
    const ParsedLaunch parsed = ParseLaunchOptions(c.args);
    ASSERT_TRUE(parsed.Options) << parsed.Error;
    EXPECT_EQ(parsed.Options->Stage, c.stage);
    EXPECT_EQ(parsed.Options->WindowId, c.windowId);
    EXPECT_EQ(parsed.Options->Script, c.script);
    EXPECT_EQ(parsed.Options->Roll.SmoothMotion, c.smooth);
    EXPECT_EQ(parsed.Options->Roll.EveryMonitor, c.everyMonitor);
    EXPECT_EQ(parsed.Options->CodePage, c.codePage);
  }
}

TEST(LaunchOptions, RefusesWhatItCannotRead) {
  const std::vector<std::vector<std::string>> cases = {
      {"--root", "--window"},
      {"--window-id"},
      {"--window-id", "0"},
      {"--window-id", "0xZZ"},
      {"--window-id", "12ab"},
      {"--script"},
      {"--codepage", "shift-jis"},
      {"--codepage", "0"},
      {"--codepage"},
      {"--root", "--root"},
      {"--window-id", "5", "--window"},
      {"--window-id", "5", "--window-id", "6"},
      {"--bogus"},
      {"/s"},
  };
  for (const auto& args : cases) {
    const ParsedLaunch parsed = ParseLaunchOptions(args);
    EXPECT_FALSE(parsed.Options) << args.front();
    EXPECT_FALSE(parsed.Error.empty()) << args.front();
  }
}

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

// A second of a quiet 440 Hz tone, 8 kHz mono 16-bit.
std::string ToneWav() {
  constexpr int kRate = 8000;
  std::string samples;
  for (int i = 0; i < kRate; ++i) {
    const auto value = static_cast<std::int16_t>(i % 18 < 9 ? 2000 : -2000);
    samples.push_back(static_cast<char>(value & 0xFF));
    samples.push_back(static_cast<char>((value >> 8) & 0xFF));
  }
  const auto le32 = [](std::uint32_t v) {
    return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 24)};
  };
  const auto le16 = [](std::uint16_t v) {
    return std::string{static_cast<char>(v), static_cast<char>(v >> 8)};
  };
  const auto size = static_cast<std::uint32_t>(samples.size());
  return "RIFF" + le32(36 + size) + "WAVEfmt " + le32(16) + le16(1) + le16(1) + le32(kRate) +
         le32(kRate * 2) + le16(2) + le16(16) + "data" + le32(size) + samples;
}

class MusicDeviceTest : public ::testing::Test {
 protected:
  // No sound card needed: SDL's dummy driver plays in silence.
  MusicDeviceTest() { setenv("SDL_AUDIODRIVER", "dummy", 1); }
  testing::TempDir dir;
};

TEST_F(MusicDeviceTest, OpensPlaysOnceAndClosesAFileThatPlays) {
  dir.Write("tone.wav", ToneWav());
  dir.Write("text.wav", "not sound at all");
  SdlMusicDevice device(":test-plays");
  struct Case {
    std::string file;
    bool opens;
  };
  const Case cases[] = {{"missing.wav", false}, {"text.wav", false}, {"tone.wav", true}};
  for (const Case& c : cases) {
    EXPECT_EQ(device.Open(dir.Utf8() + "/" + c.file), c.opens) << c.file;
    if (!c.opens) continue;
    EXPECT_FALSE(device.IsPlaying()) << "opened, not started";
    EXPECT_FALSE(device.Open(dir.Utf8() + "/tone.wav")) << "a second file while one is open";
    EXPECT_TRUE(device.Play());
    EXPECT_TRUE(device.IsPlaying());
    device.Stop();
    EXPECT_FALSE(device.IsPlaying());
    EXPECT_TRUE(device.Play()) << "played again from its start";
    device.Close();
    EXPECT_FALSE(device.IsPlaying());
    EXPECT_FALSE(device.Play()) << "closed";
  }
}

TEST_F(MusicDeviceTest, OneCopyOnADisplayPlaysMusic) {
  dir.Write("tone.wav", ToneWav());
  const std::string tone = dir.Utf8() + "/tone.wav";
  SdlMusicDevice first(":test-claim");
  SdlMusicDevice second(":test-claim");
  SdlMusicDevice otherDisplay(":test-claim-other");
  ASSERT_TRUE(first.Open(tone));
  first.Close();
  EXPECT_FALSE(second.Open(tone)) << "the first copy keeps the music once it played";
  EXPECT_TRUE(otherDisplay.Open(tone));
  otherDisplay.Close();
}

}  // namespace
}  // namespace velloway::x11
