#include "programs/render/film_music.h"

#include <array>
#include <cstdio>
#include <memory>

#include "base/utf8.h"
#include "programs/render/music_decoder.h"

namespace velloway::render {
namespace {

// The saver plays MIDI through a sound font; FFmpeg decodes none.
bool NamesMidi(std::string_view path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos) return false;
  const std::string_view extension = path.substr(dot);
  return utf8::EqualsIgnoringCase(extension, ".mid") ||
         utf8::EqualsIgnoringCase(extension, ".midi") ||
         utf8::EqualsIgnoringCase(extension, ".kar");
}

}  // namespace

std::string FilmTime(std::int64_t microseconds) {
  const std::int64_t hundredths = microseconds / 10'000;
  std::array<char, 32> text{};
  std::snprintf(
      text.data(), text.size(), "%lld:%02lld.%02lld", static_cast<long long>(hundredths / 6000),
      static_cast<long long>(hundredths / 100 % 60), static_cast<long long>(hundredths % 100));
  return text.data();
}

bool FilmMusic::Open(std::string_view path) {
  if (open_) return false;
  const std::string file(path);
  std::string why;
  const std::unique_ptr<MusicDecoder> decoder =
      NamesMidi(file) ? nullptr : MusicDecoder::Open(file, why);
  if (!decoder) {
    if (NamesMidi(file)) why = "MIDI is not rendered";
    problems_.push_back(FilmTime(nowUs_()) + ": music " + file + ": " + why + "; silent");
    return false;
  }
  open_ = file;
  openDurationUs_ = decoder->DurationUs();
  return true;
}

bool FilmMusic::Play() {
  if (!open_) return false;
  Stop();
  cues_.push_back({*open_, nowUs_(), std::nullopt});
  playing_ = true;
  return true;
}

bool FilmMusic::IsPlaying() {
  if (!playing_) return false;
  return !openDurationUs_ || nowUs_() < cues_.back().StartUs + *openDurationUs_;
}

void FilmMusic::Stop() {
  if (playing_) cues_.back().StopUs = nowUs_();
  playing_ = false;
}

void FilmMusic::Close() {
  Stop();
  open_.reset();
  openDurationUs_.reset();
}

}  // namespace velloway::render
