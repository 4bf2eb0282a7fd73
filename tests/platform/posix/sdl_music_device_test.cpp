// The music device of the Linux program, through SDL_mixer.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/posix/sdl_music_device.h"
#include "support/temp_dir.h"

namespace velloway::posix {
namespace {

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
}  // namespace velloway::posix
