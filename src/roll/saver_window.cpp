#include "roll/saver_window.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "identity/program_identity.h"
#include "platform/utf8.h"
#include "roll/cover_window.h"
#include "roll/mirror_window.h"
#include "script/colour_text.h"
#include "script/numbers.h"
#include "script/script_loader.h"

namespace velloway {
namespace {

constexpr Color kBlack = 0;
constexpr Color kWhite = 0xFFFFFF;
// The time between two ticks for each speed index; speed 0 plays no roll.
constexpr std::array<std::int32_t, 4> kTickIntervals = {0, 500, 200, 100};
// The loader keeps the speed index within the table.
constexpr std::int32_t TickInterval(std::int16_t speedIndex) {
  return kTickIntervals[static_cast<std::size_t>(speedIndex)];
}
// How often the pointer is checked while the roll has no tick: at speed 0, or without a script.
constexpr std::int32_t kPointerCheckInterval = 200;
// A pointer that moves further than this between two checks ends the saver.
constexpr double kDismissDistance = 20.0;

// Resets the running-tick flag however the tick ends.
struct TickGuard {
  bool& running;
  ~TickGuard() { running = false; }
};

forms::FormDesign MainDesign() {
  forms::FormDesign design;
  design.Caption = identity::kSaverCaption;
  design.Border = forms::BorderStyle::None;
  design.ShowInTaskbar = false;
  design.StartUp = forms::StartUpPosition::CenterScreen;
  design.BackColor = kBlack;
  design.InvisiblePointer = true;
  return design;
}

// A window over another monitor, a cover or a mirror.
forms::FormDesign OtherMonitorDesign(std::string_view caption, Color backColor) {
  forms::FormDesign design = MainDesign();
  design.Caption = caption;
  design.StartUp = forms::StartUpPosition::Manual;
  design.BackColor = backColor;
  return design;
}

// Every line label starts as the template label is designed.
forms::LabelDesign TemplateLabelDesign() {
  forms::LabelDesign design;
  design.Visible = false;
  design.AutoSize = true;
  design.TextAlignment = forms::Alignment::Center;
  design.Left = 1170;
  design.Top = 705;
  design.Width = 60;
  design.Height = 180;
  return design;
}

forms::LabelDesign MessageLabelDesign() {
  forms::LabelDesign design;
  design.Font = {"Arial", 14.0f, false, false, forms::kDefaultCharset};
  design.ForeColor = kWhite;
  design.AutoSize = true;
  design.Visible = false;
  return design;
}

}  // namespace

std::int32_t SaverWindow::LineFontPoints(std::string_view sizeStep, std::int16_t baseFontSize) {
  return 2 * std::int32_t{LeadingNumber16(sizeStep)} + baseFontSize;
}

std::int32_t SaverWindow::TakeableFontSize(std::int32_t points) {
  return std::clamp(points, kMinFontSize, kMaxFontSize);
}

SaverWindow::SaverWindow(forms::Backend& backend, RollOptions options)
    : forms::Form(backend, MainDesign()),
      options_(options),
      messageLabel_(*this, MessageLabelDesign()),
      templateLabel_(*this, TemplateLabelDesign()),
      tickTimer_(*this, 200, false, [this] { OnTick(); }),
      pointerTimer_(*this, kPointerCheckInterval, false, [this] { CheckMouseMove(); }),
      music_(backend, App()) {
  for (int slot = 1; slot <= kLineSlots; ++slot) {
    lineLabels_.push_back(std::make_unique<forms::Label>(*this, TemplateLabelDesign()));
  }
  if (options_.SmoothMotion) {
    smooth_ = std::make_unique<SmoothMotion>(*this, kLineSlots, TemplateLabelDesign());
    frames_ = backend.CreateFrameDriver([this](std::int64_t nowUs) { OnFrame(nowUs); });
  }
}

SaverWindow::~SaverWindow() = default;

void SaverWindow::OnLoad() {
  LoadScript();
  SetWidth(Screen().Width());
  SetHeight(Screen().Height());
  recordIndex_ = 1;
  twipsPerPixelY_ = Screen().TwipsPerPixelY();
  shownLines_.clear();
  nextSlot_ = 0;
  waitTicks_ = 0;
  spacingTicks_ = 0;
  spacingLines_ = 0;
  phase_ = RollPhase::Dispatch;
  engineScroll_ = 0;
  SetBackColor(HexToColor(script_.Header.BackColorText));
  KeepAboveOthers();
  lastPointer_ = PointerOrOrigin();
  // No script, no roll.
  const std::int32_t rollInterval = script_.Failure ? 0 : TickInterval(script_.Header.SpeedIndex);
  tickTimer_.SetInterval(rollInterval);
  tickTimer_.SetEnabled(true);
  // Each of the roll's ticks checks the pointer; a roll that does not tick leaves that to a timer
  // of its own, so that a moved pointer ends the saver whatever the roll does.
  pointerTimer_.SetEnabled(rollInterval == 0);
  if (script_.Failure) {
    ShowScriptFailure();
  } else {
    StartSmoothMotion(rollInterval);
  }
  ShowOtherMonitors();
}

void SaverWindow::LoadScript() {
  const std::string fileName =
      App().GetSetting(identity::kAppName, identity::kSettingSection, identity::kScriptFileNameKey,
                       identity::kDefaultScript);
  script_ = LoadChosenScript(App().Path(), fileName, Platform().ScriptCodePage());
}

void SaverWindow::OnTick() {
  // Events processed inside a BGM record can deliver a tick while this one still runs.
  if (inTick_) return;
  inTick_ = true;
  const TickGuard guard{inTick_};
  CheckMouseMove();
  if (script_.RecordCount() == 0) return;
  if (recordIndex_ > script_.RecordCount()) recordIndex_ = 1;
  const RollRecord record = script_.Record(recordIndex_);
  switch (phase_) {
    case RollPhase::Dispatch:
      DispatchRecord(record);
      break;
    case RollPhase::Spacing:
      SpacingStep();
      break;
    case RollPhase::Wait:
      WaitStep(record);
      break;
  }
  ShowLinesSmoothly();
}

void SaverWindow::DispatchRecord(const RollRecord& record) {
  if (dispatchObserver_) dispatchObserver_(recordIndex_, record);
  switch (record.Command()) {
    case RecordCommand::Text:
      PlaceLine(record);
      break;
    case RecordCommand::Clear:
      ClearLines();
      break;
    case RecordCommand::Wait:
      phase_ = RollPhase::Wait;
      waitTicks_ = 1;
      break;
    case RecordCommand::Bgm:
      music_.HandleBgmRecord(record);
      phase_ = RollPhase::Dispatch;
      recordIndex_ += 1;
      break;
    case RecordCommand::Other:
      recordIndex_ += 1;  // an unknown command is skipped rather than stopping the roll for good
      break;
  }
}

void SaverWindow::PlaceLine(const RollRecord& record) {
  nextSlot_ += 1;
  if (nextSlot_ > kLineSlots) nextSlot_ = 1;
  forms::Label& line = LineLabel(nextSlot_);
  // A slot handed out again while its line is still on screen is taken over by the new line;
  // its old entry goes, so that no label is listed, and moved, twice.
  if (std::erase(shownLines_, &line) > 0) RetireLine(line);
  shownLines_.push_back(&line);

  line.SetFontName(std::string(record.Param(1)));
  line.SetFontSize(static_cast<float>(
      TakeableFontSize(LineFontPoints(record.Param(2), script_.Header.BaseFontSize))));
  line.SetCaption(std::string(record.Param(3)));
  line.SetForeColor(HexToColor(record.Param(4)));
  spacingLines_ = LeadingNumber16(record.Param(5));
  const double screenWidth = Screen().Width();
  const double lineWidth = line.Width();
  switch (script_.Header.Alignment) {
    case LineAlignment::Left:
      line.SetLeft(static_cast<float>(screenWidth / 4));
      break;
    case LineAlignment::Centre:
      line.SetLeft(static_cast<float>((screenWidth - lineWidth) / 2));
      break;
    case LineAlignment::Right:
      line.SetLeft(static_cast<float>(screenWidth * 3 / 4 - lineWidth));
      break;
    case LineAlignment::Other:
      break;  // the label stays where it stood
  }
  line.SetTop(Screen().Height());
  line.SetVisible(true);
  for (const auto& mirror : mirrors_) mirror->PlaceLine(nextSlot_, line, script_.Header.Alignment);
  phase_ = RollPhase::Spacing;
}

void SaverWindow::ClearLines() {
  shownLines_.clear();
  for (const std::unique_ptr<forms::Label>& line : lineLabels_) line->SetVisible(false);
  for (const auto& mirror : mirrors_) mirror->ClearLines();
  if (smooth_) smooth_->Clear();
  recordIndex_ += 1;
}

void SaverWindow::SpacingStep() {
  ScrollLines();
  spacingTicks_ += 1;
  // The spacing counts in heights of the newest line on screen.
  const forms::Label& newest = shownLines_.empty() ? templateLabel_ : *shownLines_.back();
  const double lineHeight = newest.Height();
  const auto limit = static_cast<float>(lineHeight / twipsPerPixelY_ * spacingLines_ / 5);
  if (limit < static_cast<float>(spacingTicks_)) {
    spacingTicks_ = 0;
    recordIndex_ += 1;
    phase_ = RollPhase::Dispatch;
  }
}

void SaverWindow::WaitStep(const RollRecord& record) {
  waitTicks_ += 1;
  const double ticksPerSecond = std::floor(1000.0 / TickInterval(script_.Header.SpeedIndex));
  const double limit = ticksPerSecond * LeadingNumber16(record.Param(1));
  if (limit < waitTicks_) {
    waitTicks_ = 0;
    phase_ = RollPhase::Dispatch;
    recordIndex_ += 1;
  }
}

// Moves every listed line up 5 pixels; a line whose bottom edge would reach the top edge is
// hidden and taken off the list instead.
void SaverWindow::ScrollLines() {
  const float step = 5 * twipsPerPixelY_;
  for (auto it = shownLines_.begin(); it != shownLines_.end();) {
    forms::Label& line = **it;
    const float newTop = line.Top() - step;
    if (newTop <= -line.Height()) {
      RetireLine(line);
      line.SetVisible(false);
      it = shownLines_.erase(it);
    } else {
      line.SetTop(newTop);
      ++it;
    }
  }
  for (const auto& mirror : mirrors_) mirror->ScrollLines(step);
  engineScroll_ += 5;
}

// Frames only for a roll that moves: speed 0 and a script without records keep still.
void SaverWindow::StartSmoothMotion(std::int32_t tickIntervalMs) {
  if (!smooth_ || tickIntervalMs <= 0 || script_.RecordCount() == 0) return;
  smooth_->Start(tickIntervalMs, Screen().RefreshHz(), twipsPerPixelY_, engineScroll_);
  frames_->Start();
}

void SaverWindow::OnFrame(std::int64_t nowUs) {
  smooth_->Frame(nowUs, engineScroll_, shownLines_);
  ShowMirrorsTrailing();
}

// After a tick: a line placed, moved or let go shows where the shown scroll puts it.
void SaverWindow::ShowLinesSmoothly() {
  if (!smooth_) return;
  smooth_->ShowLines(engineScroll_, shownLines_);
  ShowMirrorsTrailing();
}

// The other monitors show their lines as far behind their places as this window does.
void SaverWindow::ShowMirrorsTrailing() {
  const auto trail = static_cast<double>(EngineScroll() - ShownScroll());
  for (const auto& mirror : mirrors_) mirror->ShowTrailing(trail);
}

void SaverWindow::RetireLine(const forms::Label& line) {
  if (smooth_) smooth_->Retire(line, engineScroll_);
}

forms::PixelPoint SaverWindow::PointerOrOrigin() {
  return Platform().PointerPosition().value_or(forms::PixelPoint{});
}

void SaverWindow::CheckMouseMove() {
  const forms::PixelPoint point = PointerOrOrigin();
  // Wider than the coordinates, so that no difference of two of them overflows.
  const auto dy = static_cast<double>(std::int64_t{point.Y} - lastPointer_.Y);
  const auto dx = static_cast<double>(std::int64_t{point.X} - lastPointer_.X);
  const double distance = std::sqrt(dy * dy + dx * dx);
  if (distance > kDismissDistance) Dismiss();
  lastPointer_ = point;
}

// The window, the covers and the mirrors fit the new screens. Lines on screen keep their place;
// the next ones are placed for the new sizes.
void SaverWindow::OnScreensChanged() {
  const forms::Screen screen = Screen();
  Move(0, 0, screen.Width(), screen.Height());
  ShowOtherMonitors();
}

void SaverWindow::OnClick() {
  Dismiss();
}

void SaverWindow::OnKeyDown() {
  Dismiss();
}

void SaverWindow::Dismiss() {
  music_.StopMusic();
  App().End();
}

// One centred white line: which script, and why it is not playing.
void SaverWindow::ShowScriptFailure() {
  const ScriptReadFailure& failure = *script_.Failure;
  const auto line = [&](std::size_t keptBytes) {
    return failure.Reason + ": " + utf8::ElideMiddle(failure.Path, keptBytes);
  };
  messageLabel_.SetCaption(line(failure.Path.size()));
  // A path too long for the screen is shortened in its middle, keeping the drive, the first
  // folders and the file name, so that the whole line and its reason can be read.
  if (messageLabel_.Width() > Width()) {
    std::size_t fits = 0;
    std::size_t tooLong = failure.Path.size();
    while (tooLong - fits > 1) {
      const std::size_t kept = fits + (tooLong - fits) / 2;
      messageLabel_.SetCaption(line(kept));
      (messageLabel_.Width() > Width() ? tooLong : fits) = kept;
    }
    messageLabel_.SetCaption(line(fits));
  }
  messageLabel_.SetLeft((Width() - messageLabel_.Width()) / 2);
  messageLabel_.SetTop((Height() - messageLabel_.Height()) / 2);
  messageLabel_.SetVisible(true);
}

void SaverWindow::ShowOtherMonitors() {
  if (options_.EveryMonitor) {
    MirrorOtherMonitors();
  } else {
    CoverOtherMonitors();
  }
}

// One cover for each monitor but the primary, in place of those there were.
void SaverWindow::CoverOtherMonitors() {
  covers_.clear();
  const forms::Screen screen = Screen();
  const float x = screen.TwipsPerPixelX();
  const float y = screen.TwipsPerPixelY();
  for (const forms::MonitorArea& area : screen.OtherMonitors()) {
    const forms::PixelRect& monitor = area.Bounds;
    auto cover = std::make_unique<CoverWindow>(
        Platform(), OtherMonitorDesign(identity::kCoverCaption, BackColor()),
        [this] { Dismiss(); });
    cover->Move(static_cast<float>(monitor.Left) * x, static_cast<float>(monitor.Top) * y,
                static_cast<float>(monitor.Width()) * x, static_cast<float>(monitor.Height()) * y);
    cover->Show();
    cover->KeepAboveOthers();
    covers_.push_back(std::move(cover));
  }
}

// One mirror for each monitor but the primary. Those there were fit the monitors now listed in
// the same place and keep their lines; monitors gone lose theirs, new ones get a mirror that shows
// the lines placed from now on.
void SaverWindow::MirrorOtherMonitors() {
  const forms::Screen screen = Screen();
  const std::vector<forms::MonitorArea>& monitors = screen.OtherMonitors();
  while (mirrors_.size() > monitors.size()) mirrors_.pop_back();
  while (mirrors_.size() < monitors.size()) {
    mirrors_.push_back(std::make_unique<MirrorWindow>(
        Platform(), OtherMonitorDesign(identity::kMirrorCaption, BackColor()),
        TemplateLabelDesign(), kLineSlots, [this] { Dismiss(); }));
  }
  for (std::size_t i = 0; i < monitors.size(); ++i) {
    MirrorWindow& mirror = *mirrors_[i];
    mirror.Fit(monitors[i]);
    mirror.Show();
    mirror.KeepAboveOthers();
  }
}

}  // namespace velloway
