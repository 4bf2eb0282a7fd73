#pragma once
// The film's music device: what the script's BGM records do, noted at the film's time, for the
// soundtrack to play. The music channel takes its decisions as in the saver: a file opens while
// none is open, ON plays it from its beginning, OFF stops and closes it.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/music_device.h"

namespace velloway::render {

// A file played from its beginning at StartUs, until StopUs or its end.
struct MusicCue {
  std::string Path;
  std::int64_t StartUs = 0;
  std::optional<std::int64_t> StopUs;
  bool operator==(const MusicCue&) const = default;
};

class FilmMusic : public platform::MusicDevice {
 public:
  // nowUs tells the film's time.
  explicit FilmMusic(std::function<std::int64_t()> nowUs) : nowUs_(std::move(nowUs)) {}

  // Opens a file FFmpeg decodes; any other (missing, MIDI, not music) is noted among the
  // problems, stays closed and is silent.
  bool Open(std::string_view path) override;
  bool Play() override;
  // Whether the open file plays now: played, not stopped, and short of the end its file tells.
  bool IsPlaying() override;
  void Stop() override;
  void Close() override;

  const std::vector<MusicCue>& Cues() const { return cues_; }
  // What could not be played, and when, one line each.
  const std::vector<std::string>& Problems() const { return problems_; }

 private:
  std::function<std::int64_t()> nowUs_;
  std::optional<std::string> open_;
  std::optional<std::int64_t> openDurationUs_;
  bool playing_ = false;  // the last cue is playing: played and neither stopped nor closed
  std::vector<MusicCue> cues_;
  std::vector<std::string> problems_;
};

// A film's time as a reader sees it: minutes, seconds and hundredths ("1:02.40").
std::string FilmTime(std::int64_t microseconds);

}  // namespace velloway::render
