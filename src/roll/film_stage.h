#pragma once
// The roll as a film: a form that plays a script as the saver window plays it with smooth motion,
// its ticks on its backend's clock, and shows each frame the film asks for where the roll stands
// at that frame's time, never ahead of it. The film is a number of passes of the script. It ends
// when the last pass's lines have all left the screen, or with the last pass itself when the
// script ends on a WAIT, its last lines held still. After the last pass the roll starts over as
// in the saver and moves those lines on, but its new lines are not shown and its music records
// not played.
#include <cstdint>
#include <functional>

#include "forms/form.h"
#include "platform/virtual_clock.h"
#include "roll/roll_player.h"

namespace velloway {

// How fast a film shows its roll: nanoseconds of the roll's time in a second of the film. At
// kScriptPace the roll plays at the script's own speed; at twice that, every line, spacing, WAIT
// and CLEAR takes half the film's time.
inline constexpr std::int64_t kScriptPace = 1'000'000'000;

class FilmStage : public forms::Form, private RollPlayer::Stage {
 public:
  // Films `passes` passes (1 at least) of script, on a screen of the backend's size, DPI and
  // refresh rate (the film's frame rate), at a pace (above 0); its BGM records play on music.
  FilmStage(platform::Backend& backend, LoadedScript script, platform::MusicDevice& music,
            int passes, std::int64_t pace = kScriptPace);
  ~FilmStage() override;

  // The roll filmed; others may listen to it.
  RollEngine& Roll() { return player_.Engine(); }
  // The lines as the last frame shows them.
  const LineLabels& Lines() const { return player_.Lines(); }
  // When frame k of the film shows the roll, on its backend's time: k / refresh rate seconds at
  // the script's pace (platform::FrameOffset), whole microseconds rounded down.
  std::int64_t RollTimeUs(std::int64_t frame) const;
  // When a moment of the roll (its backend's time) comes in the film, to the microsecond.
  std::int64_t FilmTimeUs(std::int64_t rollUs) const;
  // Shows the stage and films it on time, its backend's: at most `most` frames, frame k at
  // RollTimeUs(k), after the roll's ticks due by then, handed to shoot once the lines stand where
  // it shows them, until the film ends. Returns the frames.
  std::int64_t Film(platform::SimulatedTime& time, std::int64_t most,
                    const std::function<void(std::int64_t frame)>& shoot);

 protected:
  void OnLoad() override;

 private:
  // Puts the lines where the frame at nowUs shows them; the film may end here.
  void Frame(std::int64_t nowUs);

  RollPlayer player_;
  std::int64_t pace_;
  bool ended_ = false;
};

}  // namespace velloway
