#include "roll/roll_engine.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "forms/caption.h"
#include "script/colour_text.h"
#include "script/numbers.h"

namespace velloway {
namespace {

// The time between two ticks for each speed index; speed 0 plays no roll.
constexpr std::array<std::int32_t, 4> kTickIntervals = {0, 500, 200, 100};

// Resets a running flag however the step it guards ends: a dismissal inside a listener unwinds.
struct FlagGuard {
  bool& running;
  ~FlagGuard() { running = false; }
};

}  // namespace

std::int32_t RollEngine::LineFontPoints(std::string_view sizeStep, std::int16_t baseFontSize) {
  return 2 * std::int32_t{LeadingNumber16(sizeStep)} + baseFontSize;
}

std::int32_t RollEngine::TakeableFontSize(std::int32_t points) {
  return std::clamp(points, kMinFontSize, kMaxFontSize);
}

RollEngine::Listening::Listening(RollEngine& engine, RollListener& listener)
    : engine_(engine), listener_(listener) {
  engine_.listeners_.push_back(&listener_);
}

RollEngine::Listening::~Listening() {
  const auto it = std::find(engine_.listeners_.begin(), engine_.listeners_.end(), &listener_);
  if (engine_.telling_ > 0) {
    *it = nullptr;  // the listeners are being told: the list keeps its places until then
  } else {
    engine_.listeners_.erase(it);
  }
}

template <typename Event>
void RollEngine::Tell(const Event& event) {
  ++telling_;
  struct Told {
    RollEngine& engine;
    ~Told() {
      if (--engine.telling_ == 0) std::erase(engine.listeners_, nullptr);
    }
  } told{*this};
  // By index: a listener may start or stop listening while it is told (the screens change while
  // a BGM record processes events).
  for (std::size_t i = 0; i < listeners_.size(); ++i) {
    if (RollListener* listener = listeners_[i]) event(*listener);
  }
}

RollEngine::RollEngine(platform::Typesetter& typesetter, platform::Screens& screens,
                       LoadedScript script)
    : typesetter_(typesetter), screens_(screens), script_(std::move(script)) {}

void RollEngine::Start() {
  recordIndex_ = 1;
  twipsPerPixelY_ = forms::Screen(screens_.Screen()).TwipsPerPixelY();
  lines_.clear();
  nextSlot_ = 0;
  waitTicks_ = 0;
  spacingTicks_ = 0;
  spacingLines_ = 0;
  phase_ = Phase::Dispatch;
  scroll_ = 0;
}

bool RollEngine::EndsOnWait() const {
  for (std::int32_t index = script_.RecordCount(); index >= 1; --index) {
    switch (script_.Record(index).Command()) {
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

std::int32_t RollEngine::TickInterval() const {
  if (script_.Failure) return 0;
  // The loader keeps the speed index within the table.
  return kTickIntervals[static_cast<std::size_t>(script_.Header.SpeedIndex)];
}

void RollEngine::Tick() {
  if (ticking_) return;
  ticking_ = true;
  const FlagGuard guard{ticking_};
  if (script_.RecordCount() == 0) return;
  if (recordIndex_ > script_.RecordCount()) {
    recordIndex_ = 1;
    Tell([](RollListener& listener) { listener.OnRollStartedOver(); });
  }
  const RollRecord record = script_.Record(recordIndex_);
  switch (phase_) {
    case Phase::Dispatch:
      Dispatch(record);
      break;
    case Phase::Spacing:
      SpacingStep();
      break;
    case Phase::Wait:
      WaitStep(record);
      break;
  }
}

void RollEngine::Dispatch(const RollRecord& record) {
  const std::int32_t index = recordIndex_;
  Tell([&](RollListener& listener) { listener.OnRecordDispatched(index, record); });
  switch (record.Command()) {
    case RecordCommand::Text:
      PlaceLine(record);
      break;
    case RecordCommand::Clear:
      ClearLines();
      break;
    case RecordCommand::Wait:
      phase_ = Phase::Wait;
      waitTicks_ = 1;
      break;
    case RecordCommand::Bgm:
      Tell([&](RollListener& listener) { listener.OnMusicRecord(record); });
      Next();
      break;
    case RecordCommand::Other:
      Next();  // an unknown command is skipped rather than stopping the roll for good
      break;
  }
}

void RollEngine::PlaceLine(const RollRecord& record) {
  nextSlot_ = nextSlot_ % kLineSlots + 1;
  const int slot = nextSlot_;
  // A slot handed out again while its line is still listed is taken over by the new line; its
  // old entry goes, so that no line is listed, and moved, twice.
  if (std::erase_if(lines_, [slot](const ListedLine& line) { return line.Slot == slot; }) > 0) {
    Retire(slot);
  }
  // Read in one pass: a long caption is not walked again for each field after it.
  const auto [face, sizeStep, text, colour, spacing] = record.Params();
  PlacedLine line;
  line.Slot = slot;
  line.Text = forms::KeptCaption(text);
  line.Font.Name = face;
  line.Font.Size =
      static_cast<float>(TakeableFontSize(LineFontPoints(sizeStep, script_.Header.BaseFontSize)));
  line.ForeColor = HexToColor(colour);
  line.Alignment = script_.Header.Alignment;
  spacingLines_ = LeadingNumber16(spacing);
  const forms::CaptionBox box = forms::MeasureCaption(typesetter_, screens_, line.Font, line.Text);
  line.Left = LeftEdge(box.Width);
  line.Top = forms::Screen(screens_.Screen()).Height();
  lines_.push_back({slot, line.Top, box.Height});
  phase_ = Phase::Spacing;
  Tell([&](RollListener& listener) { listener.OnLinePlaced(line); });
}

forms::Twips RollEngine::LeftEdge(forms::Twips lineWidth) const {
  const double screenWidth = forms::Screen(screens_.Screen()).Width();
  const double width = lineWidth;
  switch (script_.Header.Alignment) {
    case LineAlignment::Left:
      return static_cast<float>(screenWidth / 4);
    case LineAlignment::Centre:
      return static_cast<float>((screenWidth - width) / 2);
    case LineAlignment::Right:
      return static_cast<float>(screenWidth * 3 / 4 - width);
    case LineAlignment::Other:
      break;
  }
  return kLineStanding.Left;
}

void RollEngine::ClearLines() {
  lines_.clear();
  Tell([](RollListener& listener) { listener.OnScreenCleared(); });
  Next();
}

void RollEngine::SpacingStep() {
  ScrollLines();
  spacingTicks_ += 1;
  // The spacing counts in heights of the newest line listed.
  const double lineHeight = lines_.empty() ? kLineStanding.Height : lines_.back().Height;
  const auto limit = static_cast<float>(lineHeight / twipsPerPixelY_ * spacingLines_ / 5);
  if (limit < static_cast<float>(spacingTicks_)) {
    spacingTicks_ = 0;
    Next();
  }
}

void RollEngine::WaitStep(const RollRecord& record) {
  waitTicks_ += 1;
  const double ticksPerSecond = std::floor(1000.0 / TickInterval());
  const double limit = ticksPerSecond * LeadingNumber16(record.Param(1));
  if (limit < waitTicks_) {
    waitTicks_ = 0;
    Next();
  }
}

// Moves every listed line up 5 pixels; a line whose bottom edge would reach the top edge is
// retired instead.
void RollEngine::ScrollLines() {
  const RollStep step{kStepPixels, kStepPixels * twipsPerPixelY_};
  for (auto it = lines_.begin(); it != lines_.end();) {
    const float newTop = it->Top - step.Twips;
    if (newTop <= -it->Height) {
      const int slot = it->Slot;
      it = lines_.erase(it);
      Retire(slot);
    } else {
      it->Top = newTop;
      ++it;
    }
  }
  scroll_ += kStepPixels;
  Tell([&](RollListener& listener) { listener.OnLinesMoved(step); });
}

// The next record is dispatched at the next tick.
void RollEngine::Next() {
  recordIndex_ += 1;
  phase_ = Phase::Dispatch;
}

void RollEngine::Retire(int slot) {
  Tell([slot](RollListener& listener) { listener.OnLineRetired(slot); });
}

}  // namespace velloway
