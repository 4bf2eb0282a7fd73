// The film's sound track: each cue's music from the sample frame of its time, silence before it,
// after its file's end and from its stop (BGM OFF) on; a later cue plays its file from the start.
#include "programs/render/soundtrack.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace velloway::render {
namespace {

constexpr float kLevel = 0.5f;  // 16384 of 32768: exact as a float

// A WAV file of `frames` sample frames at the track's rate, stereo, every sample at kLevel.
std::string ConstantWave(std::int64_t frames) {
  const auto bytes = static_cast<std::uint32_t>(frames * kChannels * 2);
  std::string wave;
  const auto put = [&wave](std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) wave += static_cast<char>((value >> (8 * i)) & 0xFFu);
  };
  wave += "RIFF";
  put(36 + bytes, 4);
  wave += "WAVEfmt ";
  put(16, 4);
  put(1, 2);  // PCM
  put(kChannels, 2);
  put(kSampleRate, 4);
  put(kSampleRate * kChannels * 2, 4);
  put(kChannels * 2, 2);
  put(16, 2);
  wave += "data";
  put(bytes, 4);
  for (std::int64_t sample = 0; sample < frames * kChannels; ++sample) put(16384, 2);
  return wave;
}

// A moment of the film in sample frames.
constexpr std::int64_t Frames(std::int64_t microseconds) {
  return microseconds * kSampleRate / 1'000'000;
}

TEST(Soundtrack, PlaysEachCueFromItsFrameUntilItsStopOrItsEnd) {
  constexpr std::int64_t kFileFrames = kSampleRate / 4;  // 0.25 s
  struct Heard {
    std::int64_t from, to;  // sample frames with music
  };
  const struct {
    const char* what;
    std::vector<MusicCue> cues;  // paths named in the test folder
    std::vector<Heard> heard;
  } cases[] = {
      {"from its frame to the file's end",
       {{"a.wav", 100'000, std::nullopt}},
       {{Frames(100'000), Frames(100'000) + kFileFrames}}},
      {"stopped by OFF before its end",
       {{"a.wav", 10'000, 110'000}},
       {{Frames(10'000), Frames(110'000)}}},
      {"a cue between sample frames", {{"a.wav", 1'001, 2'017}}, {{Frames(1'001), Frames(2'017)}}},
      {"a second cue from its file's start",
       {{"a.wav", 0, 50'000}, {"a.wav", 120'000, std::nullopt}},
       {{0, Frames(50'000)}, {Frames(120'000), Frames(120'000) + kFileFrames}}},
      {"a file that cannot be played is silent", {{"missing.wav", 0, std::nullopt}}, {}},
  };
  testing::TempDir dir;
  dir.Write("a.wav", ConstantWave(kFileFrames));
  constexpr std::int64_t kTrackFrames = kSampleRate / 2;
  // Read in pieces of an odd size: the cues fall inside them.
  constexpr std::size_t kPiece = 389;
  for (const auto& c : cases) {
    std::vector<MusicCue> cues = c.cues;
    for (MusicCue& cue : cues) cue.Path = dir.Utf8() + "/" + cue.Path;
    Soundtrack track(std::move(cues));
    std::vector<float> samples;
    std::vector<float> piece(kPiece * kChannels);
    while (static_cast<std::int64_t>(samples.size()) < kTrackFrames * kChannels) {
      track.Read(piece);
      samples.insert(samples.end(), piece.begin(), piece.end());
    }
    for (std::int64_t frame = 0; frame < kTrackFrames; ++frame) {
      bool playing = false;
      for (const Heard& heard : c.heard) playing |= frame >= heard.from && frame < heard.to;
      for (int channel = 0; channel < kChannels; ++channel) {
        ASSERT_EQ(samples[static_cast<std::size_t>(frame * kChannels + channel)],
                  playing ? kLevel : 0.0f)
            << c.what << ": frame " << frame;
      }
    }
  }
}

}  // namespace
}  // namespace velloway::render
