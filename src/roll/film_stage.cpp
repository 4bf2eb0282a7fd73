#include "roll/film_stage.h"

#include <utility>

#include "platform/tick_schedule.h"

namespace velloway {
namespace {

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
                     int passes)
    : forms::Form(backend, StageDesign()),
      player_(*this, backend, std::move(script), music, {true, passes}, *this) {}

FilmStage::~FilmStage() = default;

void FilmStage::OnLoad() {
  player_.Start();
}

std::int64_t FilmStage::Film(platform::SimulatedTime& time, std::int64_t most,
                             const std::function<void(std::int64_t frame)>& shoot) {
  Show();
  const int fps = Screen().RefreshHz();
  std::int64_t frame = 0;
  for (; frame < most; ++frame) {
    const std::int64_t nowUs = platform::FrameOffset(frame, fps).count();
    time.AdvanceTo(nowUs);
    Frame(nowUs);
    if (ended_) break;
    shoot(frame);
  }
  return frame;
}

void FilmStage::Frame(std::int64_t nowUs) {
  if (ended_) return;
  // A script that ends on a WAIT ends its film with its last pass, its last lines held still.
  if (player_.PastLastPass() && Roll().EndsOnWait()) {
    ended_ = true;
    return;
  }
  player_.Frame({nowUs, Screen().RefreshHz()});
  if (player_.PastLastPass() && !Lines().AnyInSight()) ended_ = true;
}

}  // namespace velloway
