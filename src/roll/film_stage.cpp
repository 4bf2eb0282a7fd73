#include "roll/film_stage.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <utility>

namespace velloway {
namespace {

constexpr std::int64_t kNanosecondsPerMicrosecond = 1000;

forms::FormDesign StageDesign() {
  forms::FormDesign design;
  design.Border = platform::BorderStyle::None;
  design.ShowInTaskbar = false;
  design.StartUp = forms::StartUpPosition::Manual;
  design.BackColor = kBlack;  // as the saver window starts
  return design;
}

}  // namespace

FilmStage::FilmStage(platform::Backend& backend, LoadedScript script, platform::MusicDevice& music,
                     int passes, std::int64_t pace)
    : forms::Form(backend, StageDesign()),
      player_(*this, backend, std::move(script), music, {true, passes}, *this),
      pace_(pace) {}

FilmStage::~FilmStage() = default;

void FilmStage::OnLoad() {
  player_.Start();
}

std::int64_t FilmStage::Film(platform::SimulatedTime& time, std::int64_t most,
                             const std::function<void(std::int64_t frame)>& shoot) {
  Show();
  std::int64_t frame = 0;
  for (; frame < most; ++frame) {
    const std::int64_t nowUs = RollTimeUs(frame);
    time.AdvanceTo(nowUs);
    Frame(nowUs);
    if (ended_) break;
    shoot(frame);
  }
  return frame;
}

std::int64_t FilmStage::RollTimeUs(std::int64_t frame) const {
  return frame * pace_ / (kNanosecondsPerMicrosecond * Screen().RefreshHz());
}

std::int64_t FilmStage::FilmTimeUs(std::int64_t rollUs) const {
  return (rollUs * kScriptPace + pace_ / 2) / pace_;
}

void FilmStage::Frame(std::int64_t nowUs) {
  if (ended_) return;
  // A script that ends on a WAIT ends its film with its last pass, its last lines held still.
  if (player_.PastLastPass() && Roll().EndsOnWait()) {
    ended_ = true;
    return;
  }
  // The frames come as often, in the roll's time, as a display of this rate would show them.
  const auto rollHz = std::max<std::int64_t>(1, Screen().RefreshHz() * kScriptPace / pace_);
  player_.Frame(
      {nowUs, static_cast<int>(std::min<std::int64_t>(rollHz, std::numeric_limits<int>::max()))});
  if (player_.PastLastPass() && !Lines().AnyInSight()) ended_ = true;
}

}  // namespace velloway
