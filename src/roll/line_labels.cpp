#include "roll/line_labels.h"

#include <algorithm>
#include <string>

namespace velloway {

LineLabels::LineLabels(forms::Form& form, const RollEngine& engine, bool smoothMotion)
    : engine_(engine) {
  for (int slot = 1; slot <= RollEngine::kLineSlots; ++slot) {
    labels_.push_back(std::make_unique<forms::Label>(form, RollLineDesign()));
  }
  if (smoothMotion) {
    smooth_ =
        std::make_unique<velloway::SmoothMotion>(form, RollEngine::kLineSlots, RollLineDesign());
  }
}

LineLabels::~LineLabels() = default;

void LineLabels::Place(const PlacedLine& placed) {
  forms::Label& line = Line(placed.Slot);
  line.SetFontName(placed.Font.Name);
  line.SetFontSize(placed.Font.Size);
  line.SetCaption(std::string(placed.Text));
  line.SetForeColor(placed.ForeColor);
  line.SetLeft(placed.Left);
  line.SetTop(placed.Top);
  line.SetVisible(true);
}

void LineLabels::Move() {
  for (const RollEngine::ListedLine& listed : engine_.Lines()) Line(listed.Slot).SetTop(listed.Top);
}

// A line let go while in sight is shown on by smooth motion until it is out of sight.
void LineLabels::Retire(int slot) {
  forms::Label& line = Line(slot);
  if (smooth_) smooth_->Retire(line, engine_.Scroll());
  line.SetVisible(false);
}

void LineLabels::Clear() {
  for (const std::unique_ptr<forms::Label>& line : labels_) line->SetVisible(false);
  if (smooth_) smooth_->Clear();
}

bool LineLabels::StartSmoothMotion(int refreshHz) {
  if (!smooth_ || !engine_.Rolls()) return false;
  smooth_->Start(engine_.TickInterval(), refreshHz, engine_.TwipsPerPixelY(), engine_.Scroll());
  return true;
}

void LineLabels::Frame(const platform::DisplayFrame& frame) {
  if (smooth_) smooth_->Frame(frame, engine_.Scroll(), engine_.StepsNext(), ListedLabels());
}

void LineLabels::ShowAfterTick() {
  if (smooth_) smooth_->ShowLines(engine_.Scroll(), ListedLabels());
}

double LineLabels::ShownScroll() const {
  return smooth_ ? smooth_->ShownScroll() : static_cast<double>(engine_.Scroll());
}

bool LineLabels::AnyInSight() const {
  const bool listedInSight = std::any_of(labels_.begin(), labels_.end(), [](const auto& line) {
    return line->Visible() && line->PixelBounds().Bottom > 0;
  });
  return listedInSight || (smooth_ && smooth_->ShowsRetired());
}

std::span<forms::Label* const> LineLabels::ListedLabels() {
  listed_.clear();
  for (const RollEngine::ListedLine& listed : engine_.Lines())
    listed_.push_back(&Line(listed.Slot));
  return listed_;
}

}  // namespace velloway
