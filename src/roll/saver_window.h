#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "music/music_channel.h"
#include "platform/forms.h"
#include "roll/roll_options.h"
#include "roll/smooth_motion.h"
#include "script/script_types.h"

namespace velloway {

class CoverWindow;
class MirrorWindow;

// The saver window: borderless and full-screen, it shows the roll over the script's background
// colour and hides the pointer over its background.
class SaverWindow : public forms::Form {
 public:
  // The lines on screen at once: a line takes the next of these slots, after the last the first.
  static constexpr std::int16_t kLineSlots = 20;
  // The font sizes a line can take, in points.
  static constexpr std::int32_t kMinFontSize = 1;
  static constexpr std::int32_t kMaxFontSize = 1000;

  // A TEXT line's size in points: twice its size step plus the base size.
  static std::int32_t LineFontPoints(std::string_view sizeStep, std::int16_t baseFontSize);
  // The nearest size a label can take.
  static std::int32_t TakeableFontSize(std::int32_t points);

  explicit SaverWindow(forms::Backend& backend, RollOptions options = {});
  ~SaverWindow() override;

  // The label of a line slot, 1..kLineSlots.
  const forms::Label& LineLabel(int slot) const {
    return *lineLabels_[static_cast<std::size_t>(slot - 1)];
  }
  // The label that is never shown; the spacing step measures it while no line is on screen.
  const forms::Label& TemplateLabel() const { return templateLabel_; }
  const forms::Timer& TickTimer() const { return tickTimer_; }
  const LoadedScript& Script() const { return script_; }
  const RollOptions& Options() const { return options_; }
  // The line that says why no script is playing; hidden while a script plays.
  const forms::Label& MessageLabel() const { return messageLabel_; }
  // With every monitor on, the windows that show the roll on the other monitors.
  const std::vector<std::unique_ptr<MirrorWindow>>& Mirrors() const { return mirrors_; }

  // The roll's cumulative scroll: the engine's D, in pixels, 5 more at each spacing step; and
  // the shown scroll S, which smooth motion's frames move evenly after D (S = D without it). A
  // line is shown D - S pixels below the place the engine gives it.
  std::int64_t EngineScroll() const { return engineScroll_; }
  std::int64_t ShownScroll() const { return smooth_ ? smooth_->ShownScroll() : engineScroll_; }

  // Tells an observer (the timeline of the script checker) of every record the roll dispatches.
  using DispatchObserver = std::function<void(std::int32_t recordIndex, const RollRecord& record)>;
  void SetDispatchObserver(DispatchObserver observer) { dispatchObserver_ = std::move(observer); }

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
  void LoadScript();
  void OnTick();
  void DispatchRecord(const RollRecord& record);
  void PlaceLine(const RollRecord& record);
  void ClearLines();
  void SpacingStep();
  void WaitStep(const RollRecord& record);
  void ScrollLines();
  // Smooth motion's part: its start, its frames, the lines shown after a tick, a line let go.
  void StartSmoothMotion(std::int32_t tickIntervalMs);
  void OnFrame(std::int64_t nowUs);
  void ShowLinesSmoothly();
  void ShowMirrorsTrailing();
  void RetireLine(const forms::Label& line);
  void CheckMouseMove();
  // The pointer's position; one that cannot be read counts as the screen's origin.
  forms::PixelPoint PointerOrOrigin();
  void ShowScriptFailure();
  void ShowOtherMonitors();
  void CoverOtherMonitors();
  void MirrorOtherMonitors();
  void Dismiss();

  forms::Label& LineLabel(int slot) { return *lineLabels_[static_cast<std::size_t>(slot - 1)]; }

  // What the roll does at the next tick: dispatch the current record, or go on with its spacing
  // or its wait.
  enum class RollPhase : std::uint8_t { Dispatch, Spacing, Wait };

  const RollOptions options_;
  // The script, as loaded.
  LoadedScript script_;

  // The roll engine's state.
  std::int32_t recordIndex_ = 0;  // 1-based
  float twipsPerPixelY_ = 0;
  std::vector<forms::Label*> shownLines_;  // the lines on screen, in the order they came
  std::int16_t nextSlot_ = 0;
  // Tick counters are 32-bit: a long WAIT at a fast speed counts past 32767.
  std::int32_t waitTicks_ = 0;
  std::int32_t spacingTicks_ = 0;
  // The spacing of the line rising now, read once when it was placed: a record's fields are
  // found in its line when asked, and a long caption stands before this one.
  std::int16_t spacingLines_ = 0;
  RollPhase phase_ = RollPhase::Dispatch;
  std::int64_t engineScroll_ = 0;
  forms::PixelPoint lastPointer_;
  bool inTick_ = false;

  forms::Label messageLabel_;
  forms::Label templateLabel_;
  std::vector<std::unique_ptr<forms::Label>> lineLabels_;
  forms::Timer tickTimer_;
  forms::Timer pointerTimer_;
  MusicChannel music_;
  std::vector<std::unique_ptr<CoverWindow>> covers_;
  std::vector<std::unique_ptr<MirrorWindow>> mirrors_;
  // With smooth motion only.
  std::unique_ptr<SmoothMotion> smooth_;
  std::unique_ptr<forms::FrameDriver> frames_;
  DispatchObserver dispatchObserver_;
};

}  // namespace velloway
