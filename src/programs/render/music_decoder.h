#pragma once
// A music file decoded through FFmpeg (WAV, MP3, OGG, FLAC and the rest it reads), as stereo
// floats at the film's sample rate, from its beginning. Read only from a regular file: the handle
// platform::CheckedFile opened, so that a device or a pipe named as music is never waited on.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "programs/render/ffmpeg_handles.h"

namespace velloway::render {

// The soundtrack's samples: stereo, 48 kHz, interleaved floats.
inline constexpr int kSampleRate = 48'000;
inline constexpr int kChannels = 2;

class MusicDecoder {
 public:
  // The file at path (UTF-8), ready to decode; null with why set when it cannot be decoded.
  // Throws FilmError when there is no memory to decode it.
  static std::unique_ptr<MusicDecoder> Open(const std::string& path, std::string& why);
  ~MusicDecoder();
  MusicDecoder(const MusicDecoder&) = delete;
  MusicDecoder& operator=(const MusicDecoder&) = delete;

  // How long the music lasts, as its file says; nothing when it does not say.
  std::optional<std::int64_t> DurationUs() const;
  // Fills out with the next samples (kChannels a frame); returns how many frames it filled, fewer
  // than out holds only at the music's end.
  std::size_t Read(std::span<float> out);

 private:
  struct Source;
  explicit MusicDecoder(std::unique_ptr<Source> source);
  // Decodes until pending_ holds `frames` frames or the music ends.
  void Decode(std::size_t frames);
  void Convert(const AVFrame* frame);

  std::unique_ptr<Source> source_;
  std::vector<float> pending_;  // decoded and converted, not yet read
  bool ended_ = false;
};

}  // namespace velloway::render
