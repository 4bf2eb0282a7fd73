#include "roll/film_stage.h"

#include <utility>

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
