#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "forms/label.h"
#include "forms/timer.h"
#include "roll/roll_options.h"
#include "roll/roll_player.h"
#include "script/script_types.h"

namespace velloway {

class CoverWindow;
class MirrorWindow;

// The saver window: borderless and full-screen, it plays the script it is given and shows its
// roll's lines over the script's background colour, and hides the pointer over its background.
// Its player plays the roll; the window adds the saver's part: the pointer watched, the
// dismissals, and the other monitors covered or mirrored.
class SaverWindow : public forms::Form, private RollPlayer::Stage {
 public:
  // script: as read at the program's start; one that cannot be played says why on the screen.
  // problem: why the script cannot be played, in the checker's words, shown in place of the roll.
  SaverWindow(platform::Backend& backend, LoadedScript script, RollOptions options = {},
              std::optional<std::string> problem = std::nullopt);
  ~SaverWindow() override;

  // The label of a line slot, 1..RollEngine::kLineSlots.
  const forms::Label& LineLabel(int slot) const { return player_.Lines().Line(slot); }
  const forms::Timer& TickTimer() const { return player_.TickTimer(); }
  const LoadedScript& Script() const { return player_.Engine().Script(); }
  const RollOptions& Options() const { return options_; }
  // The roll this window plays; others may listen to it.
  RollEngine& Roll() { return player_.Engine(); }
  // The line that says why no script is playing; hidden while a script plays.
  const forms::Label& MessageLabel() const { return messageLabel_; }
  // With every monitor on, the windows that show the roll on the other monitors.
  const std::vector<std::unique_ptr<MirrorWindow>>& Mirrors() const { return mirrors_; }

  // The roll's cumulative scroll: the engine's D, in pixels, 5 more at each spacing step; and
  // the shown scroll S, which smooth motion's frames move evenly after D (S = D without it). A
  // line is shown D - S pixels below the place the engine gives it.
  std::int64_t EngineScroll() const { return player_.Engine().Scroll(); }
  double ShownScroll() const { return player_.ShownScroll(); }

 protected:
  void OnLoad() override;
  void OnClick() override;
  void OnKeyDown() override;
  // Another program's window would get the keys meant to end the saver.
  void OnOtherProgramActivated() override { Dismiss(); }
  // A minimised saver would run on unseen, deaf to keys and refusing every later start.
  void OnMinimized() override { Dismiss(); }
  void OnScreensChanged() override;

 private:
  // Each tick of the roll checks the pointer first.
  void BeforeTick() override { CheckMouseMove(); }
  // The other monitors show their lines as far behind their places as this window does.
  void LinesShown(double shownScroll) override;
  void CheckMouseMove();
  // The pointer's position; one that cannot be read counts as the screen's origin.
  platform::PixelPoint PointerOrOrigin();
  // One centred white line, line(kept) with at most kept of the elidable bytes: a line too wide
  // for the window keeps less of them, so that the whole line can be read.
  void ShowMessage(std::size_t elidableBytes,
                   const std::function<std::string(std::size_t kept)>& line);
  void CentreMessage();
  void ShowScriptFailure();
  void ShowOtherMonitors();
  void CoverOtherMonitors();
  void MirrorOtherMonitors();
  void Dismiss();

  const RollOptions options_;
  const std::optional<std::string> problem_;
  platform::PixelPoint lastPointer_;

  forms::Label messageLabel_;
  RollPlayer player_;
  forms::Timer pointerTimer_;
  std::vector<std::unique_ptr<CoverWindow>> covers_;
  // After the player: each mirror stops listening to its engine when it goes.
  std::vector<std::unique_ptr<MirrorWindow>> mirrors_;
  // With smooth motion only.
  std::unique_ptr<platform::FrameDriver> frames_;
};

}  // namespace velloway
