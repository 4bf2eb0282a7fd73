#include "programs/render/soundtrack.h"

#include <algorithm>
#include <limits>
#include <string>

namespace velloway::render {
namespace {

constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

// The sample frame at a time of the film: cues come at the roll's ticks, whole milliseconds.
std::int64_t FrameAt(std::int64_t microseconds) {
  return microseconds * kSampleRate / 1'000'000;
}

}  // namespace

Soundtrack::Soundtrack(std::vector<MusicCue> cues) : cues_(std::move(cues)) {}

Soundtrack::~Soundtrack() = default;

std::int64_t Soundtrack::NextChange() const {
  const std::int64_t start = nextCue_ < cues_.size() ? FrameAt(cues_[nextCue_].StartUs) : kNever;
  return std::min(start, playing_ ? playingUntil_ : kNever);
}

void Soundtrack::Read(std::span<float> out) {
  while (!out.empty()) {
    if (playing_ && position_ >= playingUntil_) playing_.reset();
    while (nextCue_ < cues_.size() && FrameAt(cues_[nextCue_].StartUs) <= position_) {
      // A file that played when the roll was filmed plays now; one that no longer decodes is
      // silent.
      const MusicCue& cue = cues_[nextCue_++];
      std::string why;
      playing_ = MusicDecoder::Open(cue.Path, why);
      playingUntil_ = cue.StopUs ? FrameAt(*cue.StopUs) : kNever;
    }
    const auto frames = static_cast<std::size_t>(std::min<std::int64_t>(
        static_cast<std::int64_t>(out.size() / kChannels), NextChange() - position_));
    const std::span<float> part = out.first(frames * kChannels);
    const std::size_t heard = playing_ ? playing_->Read(part) : 0;
    // The file's end: silence until the next cue.
    if (playing_ && heard < frames) playing_.reset();
    std::fill(part.begin() + static_cast<std::ptrdiff_t>(heard * kChannels), part.end(), 0.0f);
    position_ += static_cast<std::int64_t>(frames);
    out = out.subspan(part.size());
  }
}

}  // namespace velloway::render
