#pragma once
// The film's one sound track: its music cues decoded and laid at their times, silence between
// them and after a file's end, read from the start to the end in order.
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "programs/render/film_music.h"
#include "programs/render/music_decoder.h"

namespace velloway::render {

class Soundtrack {
 public:
  explicit Soundtrack(std::vector<MusicCue> cues);
  ~Soundtrack();
  Soundtrack(const Soundtrack&) = delete;
  Soundtrack& operator=(const Soundtrack&) = delete;

  // Fills out with the next samples (kChannels a frame, kSampleRate frames a second) from where
  // the last read ended.
  void Read(std::span<float> out);

 private:
  // Where the next cue starts, or the playing one stops, whichever comes first.
  std::int64_t NextChange() const;

  std::vector<MusicCue> cues_;
  std::size_t nextCue_ = 0;
  std::unique_ptr<MusicDecoder> playing_;
  std::int64_t playingUntil_ = 0;  // in frames
  std::int64_t position_ = 0;      // in frames
};

}  // namespace velloway::render
