#include "roll/frmMain.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/codepage.h"
#include "platform/utf8.h"
#include "roll/cover_form.h"
#include "script/colour_text.h"
#include "script/numbers.h"
#include "script/script_loader.h"

namespace velloway {
namespace {

constexpr forms::Color kBlack = 0;
constexpr forms::Color kWhite = 0xFFFFFF;
// Without a script there is no speed; the timer still ticks so that the pointer can end the saver.
constexpr std::int32_t kIntervalWithoutScript = 200;
// A pointer that moves further than this between two ticks ends the saver.
constexpr double kDismissDistance = 20.0;

// Resets the running-tick flag however the tick ends.
struct TickGuard {
  bool& running;
  ~TickGuard() { running = false; }
};

forms::FormDesign MainDesign() {
  forms::FormDesign design;
  design.Caption = "MAIN -+- Velloway";
  design.Border = forms::BorderStyle::None;
  design.ShowInTaskbar = false;
  design.StartUp = forms::StartUpPosition::CenterScreen;
  design.BackColor = kBlack;
  design.InvisiblePointer = true;
  return design;
}

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

CoverForm::CoverForm(forms::Backend& backend, forms::Color backColor, std::function<void()> dismiss)
    : forms::Form(backend,
                  [backColor] {
                    forms::FormDesign design = MainDesign();
                    design.Caption = "COVER -+- Velloway";
                    design.StartUp = forms::StartUpPosition::Manual;
                    design.BackColor = backColor;
                    return design;
                  }()),
      dismiss_(std::move(dismiss)) {}

std::int32_t frmMain::LineFontPoints(std::string_view sizeStep, std::int16_t baseFontSize) {
  return 2 * std::int32_t{LeadingNumber16(sizeStep)} + baseFontSize;
}

std::int32_t frmMain::TakeableFontSize(std::int32_t points) {
  return std::clamp(points, kMinFontSize, kMaxFontSize);
}

frmMain::frmMain(forms::Backend& backend)
    : forms::Form(backend, MainDesign()),
      message_(*this, MessageLabelDesign()),
      timer1_(*this, 200, false, [this] { Timer1_Timer(); }),
      music_(backend.Music(), App()) {
  for (int i = 0; i < kLabelCount; ++i) {
    labels_.push_back(std::make_unique<forms::Label>(*this, TemplateLabelDesign()));
  }
}

frmMain::~frmMain() = default;

void frmMain::Form_Load() {
  LoadScript();
  SetWidth(Screen().Width());
  SetHeight(Screen().Height());
  RecordIndex = 1;
  IntervalTable[1] = 500;
  IntervalTable[2] = 200;
  IntervalTable[3] = 100;
  TwipsPerPixelY = Screen().TwipsPerPixelY();
  ActiveCount = 0;
  NextSlot = 0;
  WaitTicks = 0;
  SpacingTicks = 0;
  SpacingLines = 0;
  RollPhase = 0;
  SetBackColor(HexToColor(script_.Header.BackColorText));
  KeepAboveOthers();
  LastCursor = PointerOrOrigin();
  timer1_.SetInterval(script_.Failure
                          ? kIntervalWithoutScript
                          : IntervalTable[static_cast<std::size_t>(script_.Header.SpeedIndex)]);
  timer1_.SetEnabled(true);
  if (script_.Failure) ShowScriptFailure();
  CoverOtherMonitors();
}

void frmMain::LoadScript() {
  const std::string fileName =
      App().GetSetting("Velloway", "Setting", "ScriptFileName", "Default.vws");
  script_ = LoadChosenScript(App().Path(), fileName, platform::SystemCodePage());
}

void frmMain::Timer1_Timer() {
  // Events processed inside a BGM record can deliver a tick while this one still runs.
  if (inTick_) return;
  inTick_ = true;
  const TickGuard guard{inTick_};
  CheckMouseMove();
  if (script_.RecordCount() == 0) return;
  if (RecordIndex > script_.RecordCount()) RecordIndex = 1;
  const RollRecord record = script_.Record(RecordIndex);
  switch (RollPhase) {
    case PHASE_DISPATCH:
      DispatchRecord(record);
      break;
    case PHASE_SPACING:
      SpacingStep();
      break;
    case PHASE_WAIT:
      WaitStep(record);
      break;
    default:
      break;
  }
}

void frmMain::DispatchRecord(const RollRecord& record) {
  if (dispatchObserver_) dispatchObserver_(RecordIndex, record);
  switch (record.Command()) {
    case RecordCommand::Text:
      PlaceLine(record);
      break;
    case RecordCommand::Clear:
      ClearLines();
      break;
    case RecordCommand::Wait:
      RollPhase = PHASE_WAIT;
      WaitTicks = 1;
      break;
    case RecordCommand::Bgm:
      music_.HandleBgmRecord(record);
      RollPhase = PHASE_DISPATCH;
      RecordIndex += 1;
      break;
    case RecordCommand::Other:
      RecordIndex += 1;  // an unknown command is skipped rather than stopping the roll for good
      break;
  }
}

void frmMain::PlaceLine(const RollRecord& record) {
  NextSlot += 1;
  if (NextSlot > kLineSlots) NextSlot = 1;
  // A slot handed out again while its line is still on screen is taken over by the new line;
  // its old entry goes, so that no label is listed, and moved, twice.
  std::erase(ActiveLabels, NextSlot);
  ActiveLabels.push_back(NextSlot);
  ActiveCount = static_cast<std::int16_t>(ActiveLabels.size() - 1);

  forms::Label& L = labTemplate(NextSlot);
  L.SetFontName(std::string(record.Param(1)));
  L.SetFontSize(static_cast<float>(
      TakeableFontSize(LineFontPoints(record.Param(2), script_.Header.BaseFontSize))));
  L.SetCaption(std::string(record.Param(3)));
  L.SetForeColor(HexToColor(record.Param(4)));
  SpacingLines = LeadingNumber16(record.Param(5));
  const double W = Screen().Width();
  const double w = L.Width();
  const std::string& align = script_.Header.AlignMode;
  if (align == "LEFT") {
    L.SetLeft(static_cast<float>(W / 4));
  } else if (align == "MID") {
    L.SetLeft(static_cast<float>((W - w) / 2));
  } else if (align == "RIGHT") {
    L.SetLeft(static_cast<float>(W * 3 / 4 - w));
  }
  L.SetTop(Screen().Height());
  L.SetVisible(true);
  RollPhase = PHASE_SPACING;
}

void frmMain::ClearLines() {
  ActiveLabels.assign(1, 0);
  for (int i = 0; i < kLabelCount; ++i) labTemplate(i).SetVisible(false);
  ActiveCount = 0;
  RecordIndex += 1;
}

void frmMain::SpacingStep() {
  ScrollLabels();
  SpacingTicks += 1;
  const double h = labTemplate(ActiveLabels[static_cast<std::size_t>(ActiveCount)]).Height();
  const auto limit = static_cast<float>(h / TwipsPerPixelY * SpacingLines / 5);
  if (limit < static_cast<float>(SpacingTicks)) {
    SpacingTicks = 0;
    RecordIndex += 1;
    RollPhase = PHASE_DISPATCH;
  }
}

void frmMain::WaitStep(const RollRecord& record) {
  WaitTicks += 1;
  const double K =
      std::floor(1000.0 / IntervalTable[static_cast<std::size_t>(script_.Header.SpeedIndex)]);
  const double limit = K * LeadingNumber16(record.Param(1));
  if (limit < WaitTicks) {
    WaitTicks = 0;
    RollPhase = PHASE_DISPATCH;
    RecordIndex += 1;
  }
}

// Moves every listed line up 5 pixels; a line whose bottom edge would reach the top edge is
// hidden and taken off the list instead.
void frmMain::ScrollLabels() {
  const float step = 5 * TwipsPerPixelY;
  std::size_t i = 1;
  while (i < ActiveLabels.size()) {
    forms::Label& L = labTemplate(ActiveLabels[i]);
    const float newTop = L.Top() - step;
    if (newTop <= -L.Height()) {
      L.SetVisible(false);
      ActiveLabels.erase(ActiveLabels.begin() + static_cast<std::ptrdiff_t>(i));
      ActiveCount -= 1;
    } else {
      L.SetTop(newTop);
      ++i;
    }
  }
}

forms::PixelPoint frmMain::PointerOrOrigin() {
  return Platform().PointerPosition().value_or(forms::PixelPoint{});
}

void frmMain::CheckMouseMove() {
  const forms::PixelPoint point = PointerOrOrigin();
  // Wider than the coordinates, so that no difference of two of them overflows.
  const auto dy = static_cast<double>(std::int64_t{point.Y} - LastCursor.Y);
  const auto dx = static_cast<double>(std::int64_t{point.X} - LastCursor.X);
  const double distance = std::sqrt(dy * dy + dx * dx);
  if (distance > kDismissDistance) Dismiss();
  LastCursor = point;
}

// The window and the covers fit the new screens. Lines on screen keep their place; the next
// ones are placed for the new size.
void frmMain::Form_ScreensChanged() {
  const forms::Screen screen = Screen();
  Move(0, 0, screen.Width(), screen.Height());
  CoverOtherMonitors();
}

void frmMain::Form_Click() {
  Dismiss();
}

void frmMain::Form_KeyPress(std::int16_t&) {
  Dismiss();
}

void frmMain::Dismiss() {
  music_.StopMusic();
  App().End();
}

// One centred white line: which script, and why it is not playing.
void frmMain::ShowScriptFailure() {
  const ScriptReadFailure& failure = *script_.Failure;
  const auto line = [&](std::size_t keptBytes) {
    return failure.Reason + ": " + utf8::ElideMiddle(failure.Path, keptBytes);
  };
  message_.SetCaption(line(failure.Path.size()));
  // A path too long for the screen is shortened in its middle, keeping the drive, the first
  // folders and the file name, so that the whole line and its reason can be read.
  if (message_.Width() > Width()) {
    std::size_t fits = 0;
    std::size_t tooLong = failure.Path.size();
    while (tooLong - fits > 1) {
      const std::size_t kept = fits + (tooLong - fits) / 2;
      message_.SetCaption(line(kept));
      (message_.Width() > Width() ? tooLong : fits) = kept;
    }
    message_.SetCaption(line(fits));
  }
  message_.SetLeft((Width() - message_.Width()) / 2);
  message_.SetTop((Height() - message_.Height()) / 2);
  message_.SetVisible(true);
}

// One cover for each monitor but the primary, in place of those there were.
void frmMain::CoverOtherMonitors() {
  covers_.clear();
  const forms::Screen screen = Screen();
  const float x = screen.TwipsPerPixelX();
  const float y = screen.TwipsPerPixelY();
  for (const forms::PixelRect& monitor : screen.OtherMonitors()) {
    auto cover = std::make_unique<CoverForm>(Platform(), BackColor(), [this] { Dismiss(); });
    cover->Move(static_cast<float>(monitor.Left) * x, static_cast<float>(monitor.Top) * y,
                static_cast<float>(monitor.Width()) * x, static_cast<float>(monitor.Height()) * y);
    cover->Show();
    cover->KeepAboveOthers();
    covers_.push_back(std::move(cover));
  }
}

}  // namespace velloway
