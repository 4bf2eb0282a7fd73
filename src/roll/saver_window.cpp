#include "roll/saver_window.h"

#include <cmath>
#include <string>
#include <utility>

#include "base/program_identity.h"
#include "base/utf8.h"
#include "roll/cover_window.h"
#include "roll/mirror_window.h"
#include "script/colour_text.h"

namespace velloway {
namespace {

// How often the pointer is checked while the roll has no tick: at speed 0, or without a script.
constexpr std::int32_t kPointerCheckInterval = 200;
// A pointer that moves further than this between two checks ends the saver.
constexpr double kDismissDistance = 20.0;

forms::FormDesign MainDesign() {
  forms::FormDesign design;
  design.Caption = identity::kSaverCaption;
  design.Border = platform::BorderStyle::None;
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

forms::LabelDesign MessageLabelDesign() {
  forms::LabelDesign design;
  design.Font = {"Arial", 14.0f, false, false, platform::FontLanguage::Any};
  design.ForeColor = kWhite;
  design.AutoSize = true;
  design.Visible = false;
  return design;
}

}  // namespace

SaverWindow::SaverWindow(platform::Backend& backend, LoadedScript script, RollOptions options,
                         std::optional<std::string> problem)
    : forms::Form(backend, MainDesign()),
      options_(options),
      problem_(std::move(problem)),
      messageLabel_(*this, MessageLabelDesign()),
      player_(*this, backend, std::move(script), backend.Music(), {options_.SmoothMotion, 0},
              *this),
      pointerTimer_(*this, kPointerCheckInterval, false, [this] { CheckMouseMove(); }) {
  if (options_.SmoothMotion) {
    frames_ = backend.CreateFrameDriver(
        [this](const platform::DisplayFrame& frame) { player_.Frame(frame); });
  }
}

SaverWindow::~SaverWindow() = default;

void SaverWindow::OnLoad() {
  // A problem is read on black, whatever colour the script asks for, and the roll stands still.
  bool followsFrames = false;
  if (problem_) {
    player_.CoverScreen();
  } else {
    followsFrames = player_.Start();
  }
  KeepAboveOthers();
  lastPointer_ = PointerOrOrigin();
  // Each of the roll's ticks checks the pointer; a roll that does not tick leaves that to a timer
  // of its own, so that a moved pointer ends the saver whatever the roll does.
  pointerTimer_.SetEnabled(problem_ || TickTimer().Interval() == 0);
  if (problem_) {
    ShowMessage(problem_->size(),
                [this](std::size_t kept) { return utf8::ElideMiddle(*problem_, kept); });
  } else if (Script().Failure) {
    ShowScriptFailure();
  } else if (followsFrames) {
    frames_->Start();
  }
  ShowOtherMonitors();
}

void SaverWindow::LinesShown(double shownScroll) {
  for (const auto& mirror : mirrors_) mirror->ShowScrolled(shownScroll);
}

platform::PixelPoint SaverWindow::PointerOrOrigin() {
  return Platform().PointerPosition().value_or(platform::PixelPoint{});
}

void SaverWindow::CheckMouseMove() {
  const platform::PixelPoint point = PointerOrOrigin();
  // Wider than the coordinates, so that no difference of two of them overflows.
  const auto dy = static_cast<double>(std::int64_t{point.Y} - lastPointer_.Y);
  const auto dx = static_cast<double>(std::int64_t{point.X} - lastPointer_.X);
  const double distance = std::sqrt(dy * dy + dx * dx);
  if (distance > kDismissDistance) Dismiss();
  lastPointer_ = point;
}

// The window, the covers and the mirrors fit the new screens. Lines on screen keep their place;
// the next ones are placed for the new sizes. A message stays in the middle.
void SaverWindow::OnScreensChanged() {
  const forms::Screen screen = Screen();
  Move(0, 0, screen.Width(), screen.Height());
  CentreMessage();
  ShowOtherMonitors();
}

void SaverWindow::OnClick() {
  Dismiss();
}

void SaverWindow::OnKeyDown() {
  Dismiss();
}

void SaverWindow::Dismiss() {
  player_.StopMusic();
  App().End();
}

void SaverWindow::ShowMessage(std::size_t elidableBytes,
                              const std::function<std::string(std::size_t kept)>& line) {
  messageLabel_.SetCaption(line(elidableBytes));
  if (messageLabel_.Width() > Width()) {
    std::size_t fits = 0;
    std::size_t tooLong = elidableBytes;
    while (tooLong - fits > 1) {
      const std::size_t kept = fits + (tooLong - fits) / 2;
      messageLabel_.SetCaption(line(kept));
      (messageLabel_.Width() > Width() ? tooLong : fits) = kept;
    }
    messageLabel_.SetCaption(line(fits));
  }
  CentreMessage();
  messageLabel_.SetVisible(true);
}

void SaverWindow::CentreMessage() {
  messageLabel_.SetLeft((Width() - messageLabel_.Width()) / 2);
  messageLabel_.SetTop((Height() - messageLabel_.Height()) / 2);
}

// Which script, and why it is not playing. A path too long for the screen is shortened in its
// middle, keeping the drive, the first folders and the file name.
void SaverWindow::ShowScriptFailure() {
  const ScriptReadFailure& failure = *Script().Failure;
  ShowMessage(failure.Path.size(), [&failure](std::size_t kept) {
    return failure.Reason + ": " + utf8::ElideMiddle(failure.Path, kept);
  });
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
  for (const platform::MonitorArea& area : screen.OtherMonitors()) {
    const platform::PixelRect& monitor = area.Bounds;
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
  const std::vector<platform::MonitorArea>& monitors = screen.OtherMonitors();
  while (mirrors_.size() > monitors.size()) mirrors_.pop_back();
  while (mirrors_.size() < monitors.size()) {
    mirrors_.push_back(std::make_unique<MirrorWindow>(
        Platform(), OtherMonitorDesign(identity::kMirrorCaption, BackColor()), Roll(),
        options_.SmoothMotion, [this] { Dismiss(); }));
  }
  for (std::size_t i = 0; i < monitors.size(); ++i) {
    MirrorWindow& mirror = *mirrors_[i];
    mirror.Fit(monitors[i]);
    mirror.Show();
    mirror.KeepAboveOthers();
  }
}

}  // namespace velloway
