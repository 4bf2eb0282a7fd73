#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "music/music_channel.h"
#include "platform/forms.h"
#include "script/script_types.h"

namespace velloway {

class CoverForm;

// The phases of the roll engine.
inline constexpr std::int16_t PHASE_DISPATCH = 0;
inline constexpr std::int16_t PHASE_SPACING = 1;
inline constexpr std::int16_t PHASE_WAIT = 2;

// The saver window: borderless and full-screen, it shows the roll over the script's background
// colour and hides the pointer over its background.
class frmMain : public forms::Form {
 public:
  static constexpr int kLabelCount = 21;  // labTemplate(0..20); 1..20 carry lines
  static constexpr std::int16_t kLineSlots = 20;
  // The font sizes a line can take, in points.
  static constexpr std::int32_t kMinFontSize = 1;
  static constexpr std::int32_t kMaxFontSize = 1000;

  // A TEXT line's size in points: twice its size step plus the base size.
  static std::int32_t LineFontPoints(std::string_view sizeStep, std::int16_t baseFontSize);
  // The nearest size a label can take.
  static std::int32_t TakeableFontSize(std::int32_t points);

  explicit frmMain(forms::Backend& backend);
  ~frmMain() override;

  const forms::Label& labTemplate(int index) const {
    return *labels_[static_cast<std::size_t>(index)];
  }
  const forms::Timer& Timer1() const { return timer1_; }
  const LoadedScript& Script() const { return script_; }
  // The line that says why no script is playing; hidden while a script plays.
  const forms::Label& labMessage() const { return message_; }

  // Tells an observer (the timeline of the script checker) of every record the roll dispatches.
  using DispatchObserver = std::function<void(std::int32_t recordIndex, const RollRecord& record)>;
  void SetDispatchObserver(DispatchObserver observer) { dispatchObserver_ = std::move(observer); }

 protected:
  void Form_Load() override;
  void Form_Click() override;
  void Form_KeyPress(std::int16_t& KeyAscii) override;
  // Another program's window would get the keys meant to end the saver.
  void Form_OtherProgramActivated() override { Dismiss(); }
  // A minimised saver would run on unseen, deaf to keys and refusing every later start.
  void Form_Minimized() override { Dismiss(); }
  void Form_ScreensChanged() override;

 private:
  void LoadScript();
  void Timer1_Timer();
  void DispatchRecord(const RollRecord& record);
  void PlaceLine(const RollRecord& record);
  void ClearLines();
  void SpacingStep();
  void WaitStep(const RollRecord& record);
  void ScrollLabels();
  void CheckMouseMove();
  // The pointer's position; one that cannot be read counts as the screen's origin.
  forms::PixelPoint PointerOrOrigin();
  void ShowScriptFailure();
  void CoverOtherMonitors();
  void Dismiss();

  forms::Label& labTemplate(int index) { return *labels_[static_cast<std::size_t>(index)]; }

  // The script, as loaded.
  LoadedScript script_;

  // The roll engine's state.
  std::int32_t RecordIndex = 0;
  std::array<std::int32_t, 4> IntervalTable{};
  float TwipsPerPixelY = 0;
  std::int16_t ActiveCount = 0;
  std::vector<std::int16_t> ActiveLabels{0};  // entries 1..ActiveCount; entry 0 is always 0
  std::int16_t NextSlot = 0;
  // Tick counters are 32-bit: a long WAIT at a fast speed counts past 32767.
  std::int32_t WaitTicks = 0;
  std::int32_t SpacingTicks = 0;
  // The spacing of the line rising now, read once when it was placed: a record's fields are
  // found in its line when asked, and a long caption stands before this one.
  std::int16_t SpacingLines = 0;
  std::int16_t RollPhase = PHASE_DISPATCH;
  forms::PixelPoint LastCursor;
  bool inTick_ = false;

  std::vector<std::unique_ptr<forms::Label>> labels_;
  forms::Label message_;
  forms::Timer timer1_;
  MusicChannel music_;
  std::vector<std::unique_ptr<CoverForm>> covers_;
  DispatchObserver dispatchObserver_;
};

}  // namespace velloway
