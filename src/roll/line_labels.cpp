#include "roll/line_labels.h"

#include <algorithm>
#include <string>

namespace velloway {
namespace {

forms::LabelDesign LineDesign() {
  forms::LabelDesign design;
  design.Visible = false;
  design.AutoSize = true;
  design.TextAlignment = forms::Alignment::Center;
  design.Left = kLineStanding.Left;
  design.Top = kLineStanding.Top;
  design.Width = kLineStanding.Width;
  design.Height = kLineStanding.Height;
  return design;
}

}  // namespace

const LineLayout LineLabels::kPrimaryLayout;

LineLabels::LineLabels(forms::Form& form, RollEngine& engine, bool smoothMotion,
                       const LineLayout& layout)
    : engine_(engine), layout_(layout), listening_(engine, *this) {
  for (int slot = 1; slot <= RollEngine::kLineSlots; ++slot) {
    labels_.push_back(std::make_unique<forms::Label>(form, LineDesign()));
  }
  if (smoothMotion) {
    smooth_ = std::make_unique<velloway::SmoothMotion>(form, RollEngine::kLineSlots, LineDesign());
  }
}

LineLabels::~LineLabels() = default;

void LineLabels::OnLinePlaced(const PlacedLine& placed) {
  // A slot the roll hands out again while its line is still shown here: the old line goes.
  const auto taken = std::find_if(shown_.begin(), shown_.end(),
                                  [&](const ShownLine& line) { return line.Slot == placed.Slot; });
  if (taken != shown_.end()) {
    LetGo(*taken);
    shown_.erase(taken);
  }
  if (holding_) return;
  forms::Label& line = Line(placed.Slot);
  line.SetText(std::string(placed.Text), placed.Font.Name, layout_.FontPoints(placed.Font.Size));
  line.SetForeColor(placed.ForeColor);
  const LineLayout::Place start = layout_.Start(line, placed);
  line.SetLeft(start.Left);
  line.SetTop(start.Top);
  line.SetVisible(true);
  shown_.push_back({placed.Slot, start.Top});
}

// Every line rises the step; one whose bottom edge would reach this form's top edge goes.
void LineLabels::OnLinesMoved(const RollStep& step) {
  const forms::Twips rise = layout_.StepTwips(step);
  std::erase_if(shown_, [&](ShownLine& line) {
    line.Top -= rise;
    const bool gone = line.Top <= -Line(line.Slot).Height();
    if (gone) {
      LetGo(line);
    } else {
      Line(line.Slot).SetTop(line.Top);
    }
    return gone;
  });
}

void LineLabels::OnScreenCleared() {
  for (const ShownLine& line : shown_) Line(line.Slot).SetVisible(false);
  shown_.clear();
  if (smooth_) smooth_->Clear();
}

void LineLabels::LetGo(const ShownLine& line) {
  forms::Label& label = Line(line.Slot);
  if (smooth_) smooth_->Retire(label, RestingTop(line.Top) + EngineScroll());
  label.SetVisible(false);
}

void LineLabels::Show(double shownScroll) {
  if (!smooth_) return;
  const double shown = shownScroll * layout_.ScrollScale();
  const double trail = EngineScroll() - shown;
  for (const ShownLine& line : shown_) Line(line.Slot).ShowTopAt(RestingTop(line.Top) + trail);
  smooth_->ShowRetired(shown);
}

bool LineLabels::AnyInSight() const {
  const bool listedInSight = std::any_of(shown_.begin(), shown_.end(), [&](const ShownLine& line) {
    return Line(line.Slot).PixelBounds().Bottom > 0;
  });
  return listedInSight || (smooth_ && smooth_->ShowsRetired());
}

double LineLabels::EngineScroll() const {
  return static_cast<double>(engine_.Scroll()) * layout_.ScrollScale();
}

int LineLabels::RestingTop(forms::Twips top) const {
  return forms::ToPixels(top, engine_.TwipsPerPixelY());
}

}  // namespace velloway
