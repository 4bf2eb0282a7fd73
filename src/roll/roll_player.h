#pragma once
// A script played on a form: the roll engine, the twenty labels that show its lines (with smooth
// motion when asked), the timer that ticks it, its music, and its passes. A stage holds one and
// adds only its own policy: the saver window its dismissals and other monitors, a film its
// frames and its end.
#include <cstdint>
#include <optional>

#include "forms/form.h"
#include "forms/timer.h"
#include "music/music_channel.h"
#include "roll/line_labels.h"
#include "roll/roll_engine.h"
#include "roll/smooth_scroll.h"

namespace velloway {

class RollPlayer : private RollListener {
 public:
  // What a stage does at the player's steps. Each does nothing by default.
  class Stage {
   public:
    virtual ~Stage() = default;
    // Before each tick of the roll that is not skipped.
    virtual void BeforeTick() {}
    // The lines were shown anew (after a tick, and at each frame with smooth motion), at the
    // roll's shown scroll.
    virtual void LinesShown(double /*shownScroll*/) {}
  };

  struct Options {
    bool SmoothMotion = false;
    // The passes of the script shown; 0: for ever. Past the last one the roll goes on and moves
    // the lines shown, but its new lines are not shown and its music records not played.
    int Passes = 0;
  };

  // Plays script on form, its music on music; the stage hears the player's steps.
  RollPlayer(forms::Form& form, platform::Backend& backend, LoadedScript script,
             platform::MusicDevice& music, Options options, Stage& stage);
  ~RollPlayer() override;
  RollPlayer(const RollPlayer&) = delete;
  RollPlayer& operator=(const RollPlayer&) = delete;

  // The form covers the primary screen.
  void CoverScreen();
  // The form covers the primary screen in the script's background colour, the roll stands at its
  // start and ticks at the script's speed. Returns whether it follows the display's frames from
  // now on (Frame): with smooth motion, for a roll that moves.
  bool Start();
  // A display frame at refreshHz: with smooth motion the shown scroll follows the engine's, and
  // the lines move with it.
  void Frame(const platform::DisplayFrame& frame);
  // Stops and closes the music if it plays: the stage ends.
  void StopMusic() { music_.StopMusic(); }

  RollEngine& Engine() { return engine_; }
  const RollEngine& Engine() const { return engine_; }
  const LineLabels& Lines() const { return lines_; }
  const forms::Timer& TickTimer() const { return tickTimer_; }
  // The shown scroll S, which smooth motion's frames move evenly after the engine's D (pixels of
  // the primary screen); D without smooth motion.
  double ShownScroll() const { return shown_; }
  // Whether the last of the passes shown is over.
  bool PastLastPass() const { return options_.Passes > 0 && passesPlayed_ >= options_.Passes; }

 private:
  void OnTick();
  void ShowLines();
  void OnMusicRecord(const RollRecord& record) override;
  void OnRollStartedOver() override;

  forms::Form& form_;
  platform::Backend& backend_;
  const Options options_;
  Stage& stage_;
  RollEngine engine_;
  LineLabels lines_;
  forms::Timer tickTimer_;
  MusicChannel music_;
  std::optional<ScrollFollower> follower_;
  double shown_ = 0;
  int passesPlayed_ = 0;
  const RollEngine::Listening listening_;
};

}  // namespace velloway
