#include "roll/roll_player.h"

#include <utility>

#include "script/colour_text.h"

namespace velloway {

RollPlayer::RollPlayer(forms::Form& form, platform::Backend& backend, LoadedScript script,
                       platform::MusicDevice& music, Options options, Stage& stage)
    : form_(form),
      backend_(backend),
      options_(options),
      stage_(stage),
      engine_(backend, backend, std::move(script)),
      lines_(form, engine_, options.SmoothMotion),
      tickTimer_(form, 0, false, [this] { OnTick(); }),
      music_(music, backend, backend),
      listening_(engine_, *this) {}

RollPlayer::~RollPlayer() = default;

void RollPlayer::CoverScreen() {
  const forms::Screen screen(backend_.Screen());
  form_.SetWidth(screen.Width());
  form_.SetHeight(screen.Height());
}

bool RollPlayer::Start() {
  CoverScreen();
  form_.SetBackColor(HexToColor(engine_.Script().Header.BackColorText));
  engine_.Start();
  shown_ = static_cast<double>(engine_.Scroll());
  tickTimer_.SetInterval(engine_.TickInterval());
  tickTimer_.SetEnabled(true);
  // Frames only for a roll that moves: speed 0 and a script without records keep still.
  if (!options_.SmoothMotion || !engine_.Rolls()) return false;
  follower_.emplace(engine_.TickInterval(), backend_.Screen().RefreshHz);
  follower_->Reset(engine_.Scroll());
  return true;
}

void RollPlayer::Frame(const platform::DisplayFrame& frame) {
  if (!follower_) return;
  follower_->SetRefreshRate(frame.RefreshHz);
  shown_ = follower_->Frame(frame.TimeUs, engine_.Scroll(), engine_.StepsNext());
  ShowLines();
}

void RollPlayer::OnTick() {
  // Events processed inside a BGM record can deliver a tick while the roll's still runs: the
  // whole tick is skipped, the stage's part too.
  if (engine_.Ticking()) return;
  stage_.BeforeTick();
  engine_.Tick();
  if (!follower_) shown_ = static_cast<double>(engine_.Scroll());
  ShowLines();
}

// A line placed, moved or let go shows where the shown scroll puts it.
void RollPlayer::ShowLines() {
  lines_.Show(shown_);
  stage_.LinesShown(shown_);
}

void RollPlayer::OnMusicRecord(const RollRecord& record) {
  if (!PastLastPass()) music_.HandleBgmRecord(record);
}

void RollPlayer::OnRollStartedOver() {
  ++passesPlayed_;
  if (PastLastPass()) lines_.HoldNewLines();
}

}  // namespace velloway
