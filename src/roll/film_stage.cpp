#include "roll/film_stage.h"

#include <utility>

#include "script/colour_text.h"

namespace velloway {
namespace {

forms::FormDesign StageDesign() {
  forms::FormDesign design;
  design.Border = platform::BorderStyle::None;
  design.ShowInTaskbar = false;
  design.StartUp = forms::StartUpPosition::Manual;
  design.BackColor = 0;  // black, as the saver window starts
  return design;
}

// Whether the last record that takes the roll's time on screen (a line, a wait or a clearing)
// is a WAIT: the script means its last lines to stand still, not to roll away.
bool EndsOnWait(const LoadedScript& script) {
  for (std::int32_t index = script.RecordCount(); index >= 1; --index) {
    switch (script.Record(index).Command()) {
      case RecordCommand::Wait:
        return true;
      case RecordCommand::Text:
      case RecordCommand::Clear:
        return false;
      case RecordCommand::Bgm:
      case RecordCommand::Other:
        break;
    }
  }
  return false;
}

}  // namespace

FilmStage::FilmStage(platform::Backend& backend, LoadedScript script, platform::MusicDevice& music,
                     int passes)
    : forms::Form(backend, StageDesign()),
      passes_(passes),
      engine_(backend, backend, std::move(script)),
      listening_(engine_, *this),
      endsOnWait_(EndsOnWait(engine_.Script())),
      lines_(*this, engine_, true),
      tickTimer_(*this, 0, false, [this] { OnTick(); }),
      music_(music, backend, App()) {}

FilmStage::~FilmStage() = default;

void FilmStage::OnLoad() {
  SetWidth(Screen().Width());
  SetHeight(Screen().Height());
  engine_.Start();
  SetBackColor(HexToColor(Script().Header.BackColorText));
  tickTimer_.SetInterval(engine_.TickInterval());
  tickTimer_.SetEnabled(true);
  lines_.StartSmoothMotion(Screen().RefreshHz());
}

void FilmStage::Frame(std::int64_t nowUs) {
  if (ended_) return;
  lines_.Frame({nowUs, Screen().RefreshHz()});
  if (PastLastPass() && !lines_.AnyInSight()) ended_ = true;
}

void FilmStage::OnTick() {
  if (ended_ || engine_.Ticking()) return;
  engine_.Tick();
  lines_.ShowAfterTick();
}

void FilmStage::OnLinePlaced(const PlacedLine& placed) {
  if (!PastLastPass()) lines_.Place(placed);
}

void FilmStage::OnLinesMoved(const RollStep& /*step*/) {
  lines_.Move();
}

void FilmStage::OnLineRetired(int slot) {
  lines_.Retire(slot);
}

void FilmStage::OnScreenCleared() {
  lines_.Clear();
}

void FilmStage::OnMusicRecord(const RollRecord& record) {
  if (!PastLastPass()) music_.HandleBgmRecord(record);
}

void FilmStage::OnRollStartedOver() {
  ++passesPlayed_;
  if (passesPlayed_ == passes_ && endsOnWait_) ended_ = true;
}

}  // namespace velloway
