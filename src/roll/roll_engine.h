#pragma once
// The roll's rules, apart from any window: which record comes at each tick, where each line is
// placed and how it rises, the pauses, the clearings, the twenty slots the lines take in turn,
// the music's records and the start over at the end. A tick is its only clock; it tells its
// listeners what happens in the roll's own terms, and every stage that shows the roll (the saver
// window, the mirrors of the other monitors, the checker's timeline) is one of them.
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "forms/screen.h"
#include "platform/text.h"
#include "script/script_types.h"

namespace velloway {

// Where a line stands before the roll places it, in twips of the primary screen. Its height is
// the spacing's unit while no line is listed, and a line stays at its left edge when the
// script's alignment is not known.
struct LineStanding {
  forms::Twips Left = 1170;
  forms::Twips Top = 705;
  forms::Twips Width = 60;
  forms::Twips Height = 180;
};
inline constexpr LineStanding kLineStanding;

// A line the roll places: what it shows and where it starts, in twips of the primary screen.
struct PlacedLine {
  int Slot = 0;           // 1..RollEngine::kLineSlots
  std::string_view Text;  // as a label keeps it; a view into the script
  platform::FontSpec Font;
  Color ForeColor = 0;
  LineAlignment Alignment = LineAlignment::Other;
  forms::Twips Left = 0;
  forms::Twips Top = 0;  // the bottom edge, from where the line rises into view
};

// One step of the rise: every listed line moves up this much.
struct RollStep {
  int Pixels = 0;          // of the primary screen
  forms::Twips Twips = 0;  // the same, a physical distance for monitors of other DPIs
};

// What happens in the roll, told in the order it happens within a tick. Each event has nothing
// to do by default: a listener takes those it shows.
class RollListener {
 public:
  virtual ~RollListener() = default;
  // Record `index` (1-based) comes at this tick, whatever its command.
  virtual void OnRecordDispatched(std::int32_t /*index*/, const RollRecord& /*record*/) {}
  virtual void OnLinePlaced(const PlacedLine& /*line*/) {}
  // Every listed line rose by step; those that would have reached the top edge were retired
  // just before.
  virtual void OnLinesMoved(const RollStep& /*step*/) {}
  // The line of `slot` leaves the list: its bottom edge would reach the top edge, or a new line
  // takes its slot while it is still listed.
  virtual void OnLineRetired(int /*slot*/) {}
  virtual void OnScreenCleared() {}
  // A BGM record: the music channel reads from its parameters whether the music goes on or off.
  virtual void OnMusicRecord(const RollRecord& /*record*/) {}
  // Past the last record the roll begins again with the first, at the same tick.
  virtual void OnRollStartedOver() {}
};

class RollEngine {
 public:
  // The lines listed at once: a line takes the next of these slots, after the last the first.
  static constexpr int kLineSlots = 20;
  // Each spacing step moves the lines this many pixels: a step a tick is the roll's speed.
  static constexpr int kStepPixels = 5;
  // The font sizes a line can take, in points.
  static constexpr std::int32_t kMinFontSize = 1;
  static constexpr std::int32_t kMaxFontSize = 1000;

  // A TEXT line's size in points: twice its size step plus the base size.
  static std::int32_t LineFontPoints(std::string_view sizeStep, std::int16_t baseFontSize);
  // The nearest size a line can take.
  static std::int32_t TakeableFontSize(std::int32_t points);

  // A line on the list, where the roll keeps it.
  struct ListedLine {
    int Slot = 0;
    forms::Twips Top = 0;
    forms::Twips Height = 0;
  };

  // While it lives, its listener hears the roll.
  class [[nodiscard]] Listening {
   public:
    Listening(RollEngine& engine, RollListener& listener);
    ~Listening();
    Listening(const Listening&) = delete;
    Listening& operator=(const Listening&) = delete;

   private:
    RollEngine& engine_;
    RollListener& listener_;
  };

  // Plays script, measuring its lines with typesetter and reading the screen from screens.
  RollEngine(platform::Typesetter& typesetter, platform::Screens& screens, LoadedScript script);

  // Puts the roll at its start: the first record, no line listed, no scroll; the height of the
  // screen's pixels, read now, sizes every step until the next start.
  void Start();
  // One step of the roll. A tick that comes while one runs (events processed inside a BGM record)
  // is skipped.
  void Tick();
  bool Ticking() const { return ticking_; }

  const LoadedScript& Script() const { return script_; }
  // The time between two ticks, in milliseconds; 0 when the roll does not play (speed 0, or no
  // script).
  std::int32_t TickInterval() const;
  // Whether the roll plays: it ticks, and its script has records.
  bool Rolls() const { return TickInterval() > 0 && script_.RecordCount() > 0; }
  // Whether the last record that takes the roll's time on screen (a line, a wait or a clearing)
  // is a WAIT: the script means its last lines to stand still at the end of a pass, not to roll
  // away.
  bool EndsOnWait() const;
  // The listed lines, in the order they came.
  std::span<const ListedLine> Lines() const { return lines_; }
  // The cumulative scroll D, in pixels: 5 more at each spacing step.
  std::int64_t Scroll() const { return scroll_; }
  // Whether the next tick is a spacing step: it moves the lines.
  bool StepsNext() const { return phase_ == Phase::Spacing; }
  // The height of a pixel the steps count in, as read at the start.
  float TwipsPerPixelY() const { return twipsPerPixelY_; }

 private:
  // What the roll does at the next tick: dispatch the current record, or go on with its spacing
  // or its wait.
  enum class Phase : std::uint8_t { Dispatch, Spacing, Wait };

  void Dispatch(const RollRecord& record);
  void PlaceLine(const RollRecord& record);
  forms::Twips LeftEdge(forms::Twips lineWidth) const;
  void ClearLines();
  void SpacingStep();
  void WaitStep(const RollRecord& record);
  void ScrollLines();
  void Next();
  void Retire(int slot);
  template <typename Event>
  void Tell(const Event& event);

  platform::Typesetter& typesetter_;
  platform::Screens& screens_;
  const LoadedScript script_;
  // The listeners; one that stops listening while they are told leaves a null until then.
  std::vector<RollListener*> listeners_;
  int telling_ = 0;

  std::int32_t recordIndex_ = 1;  // 1-based
  float twipsPerPixelY_ = 0;
  std::vector<ListedLine> lines_;
  int nextSlot_ = 0;
  // Tick counters are 32-bit: a long WAIT at a fast speed counts past 32767.
  std::int32_t waitTicks_ = 0;
  std::int32_t spacingTicks_ = 0;
  // The spacing of the line rising now, read once when it was placed: a record's fields are
  // found in its line when asked, and a long caption stands before this one.
  std::int16_t spacingLines_ = 0;
  Phase phase_ = Phase::Dispatch;
  std::int64_t scroll_ = 0;
  bool ticking_ = false;
};

}  // namespace velloway
