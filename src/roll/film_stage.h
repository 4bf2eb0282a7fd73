#pragma once
// The roll as a film: a form that plays a script as the saver window plays it with smooth motion,
// its ticks on its backend's clock, and shows each frame the film asks for where the roll stands
// at that frame's time, never ahead of it. The film is a number of passes of the script. It ends
// when the last pass's lines have all left the screen, or with the last pass itself when the
// script ends on a WAIT, its last lines held still. After the last pass the roll starts over as
// in the saver and moves those lines on, but its new lines are not shown and its music records
// not played.
#include <cstdint>

#include "forms/form.h"
#include "roll/roll_player.h"

namespace velloway {

class FilmStage : public forms::Form, private RollPlayer::Stage {
 public:
  // Films `passes` passes (1 at least) of script, on a screen of the backend's size, DPI and
  // refresh rate (the film's frame rate); its BGM records play on music.
  FilmStage(platform::Backend& backend, LoadedScript script, platform::MusicDevice& music,
            int passes);
  ~FilmStage() override;

  // The roll filmed; others may listen to it.
  RollEngine& Roll() { return player_.Engine(); }
  // The lines as the last frame shows them.
  const LineLabels& Lines() const { return player_.Lines(); }
  // Puts the lines where the frame at nowUs shows them, after the ticks due by then; the frames
  // of a film come in order, the first at the start. The film may end here.
  void Frame(std::int64_t nowUs);
  // Whether the film is over: the last frame shown is not part of it.
  bool Ended() const { return ended_; }

 protected:
  void OnLoad() override;

 private:
  RollPlayer player_;
  bool ended_ = false;
};

}  // namespace velloway
