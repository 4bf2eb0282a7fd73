#include "forms/label.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "forms/caption.h"

namespace velloway::forms {
namespace {

// A line's images at all the phases it is drawn at: twenty lines of a roll take at most 64 MiB.
constexpr std::size_t kLineImageBytes = (std::size_t{64} << 20) / 20;

// Every how many sixteenths a line is drawn: every one where its images fit kLineImageBytes at
// all sixteen phases, else every second, fourth, eighth, or only on whole pixels.
int PhaseStep(std::size_t imageBytes) {
  int step = 1;
  while (step < platform::kSubpixelSteps &&
         imageBytes * static_cast<std::size_t>(platform::kSubpixelSteps / step) > kLineImageBytes) {
    step *= 2;
  }
  return step;
}

std::int64_t FloorDiv(std::int64_t value, std::int64_t divisor) {
  return value / divisor - (value % divisor < 0 ? 1 : 0);
}

}  // namespace

Label::Label(Form& owner, LabelDesign design)
    : owner_(owner),
      caption_(std::move(design.Caption)),
      font_(std::move(design.Font)),
      foreColor_(design.ForeColor),
      autoSize_(design.AutoSize),
      alignment_(design.TextAlignment),
      visible_(design.Visible),
      left_(design.Left),
      top_(design.Top),
      width_(design.Width),
      height_(design.Height),
      text_(owner.backend_.MeasureText(font_, caption_)) {
  owner_.Register(*this);
}

template <typename Apply>
void Label::Update(Apply&& apply, Change change, Remeasure remeasure) {
  const platform::PixelRect before = visible_ ? PixelBounds() : platform::PixelRect{};
  const std::int64_t shownBefore = ShownTop();
  apply();
  if (change == Change::Look) drawn_.reset();
  if (remeasure == Remeasure::Yes) Measure();
  const platform::PixelRect after = visible_ ? PixelBounds() : platform::PixelRect{};
  if (change == Change::Place && before == after && shownBefore == ShownTop()) return;
  owner_.Invalidate(before.Union(after));
}

void Label::Measure() {
  if (!autoSize_) {
    text_ = owner_.backend_.MeasureText(font_, caption_);
    return;
  }
  const CaptionBox box = MeasureCaption(owner_.backend_, owner_.backend_, font_, caption_);
  text_ = box.Text;
  width_ = box.Width;
  height_ = box.Height;
}

void Label::SetCaption(std::string caption) {
  SetText(std::move(caption), font_.Name, font_.Size);
}
void Label::SetText(std::string caption, std::string fontName, float points) {
  caption.resize(KeptCaption(caption).size());
  Update(
      [&] {
        caption_ = std::move(caption);
        font_.Name = std::move(fontName);
        font_.Size = points;
      },
      Change::Look, Remeasure::Yes);
}
void Label::SetForeColor(Color color) {
  Update([&] { foreColor_ = color; }, Change::Look);
}
void Label::SetVisible(bool visible) {
  if (visible == visible_) return;
  // A hidden label lets its image go: a roll's lines come and go, each in its own text.
  Update([&] { visible_ = visible; }, visible ? Change::Place : Change::Look);
}
void Label::SetLeft(Twips left) {
  Update([&] { left_ = left; }, Change::Place);
}
void Label::SetTop(Twips top) {
  Update([&] { top_ = top; }, Change::Place);
}
void Label::ShowTopAt(double topPx) {
  Update([&] { shownTop_ = std::llround(topPx * platform::kSubpixelSteps); }, Change::Place);
}

void Label::ShowCopyOf(const Label& other) {
  Update(
      [&] {
        caption_ = other.caption_;
        font_ = other.font_;
        foreColor_ = other.foreColor_;
        autoSize_ = other.autoSize_;
        alignment_ = other.alignment_;
        visible_ = other.visible_;
        left_ = other.left_;
        top_ = other.top_;
        width_ = other.width_;
        height_ = other.height_;
        text_ = other.text_;
        shownTop_ = other.shownTop_;
      },
      Change::Look);
  drawn_ = other.drawn_;
}

std::int64_t Label::ShownTop() const {
  if (shownTop_) return *shownTop_;
  return std::int64_t{ToPixels(top_, owner_.Screen().TwipsPerPixelY())} * platform::kSubpixelSteps;
}

platform::PixelRect Label::PixelBounds() const {
  const forms::Screen screen = owner_.Screen();
  const int left = ToPixels(left_, screen.TwipsPerPixelX());
  const std::int64_t shown = ShownTop();
  const auto top = static_cast<int>(FloorDiv(shown, platform::kSubpixelSteps));
  const int between = shown % platform::kSubpixelSteps != 0 ? 1 : 0;
  return {left, top, left + ToPixels(width_, screen.TwipsPerPixelX()),
          top + ToPixels(height_, screen.TwipsPerPixelY()) + between};
}

void Label::Paint(platform::Canvas& canvas) const {
  const platform::PixelRect bounds = PixelBounds();
  int x = bounds.Left;
  if (alignment_ == Alignment::Center) x += (bounds.Width() - text_.Width) / 2;
  if (alignment_ == Alignment::RightJustify) x = bounds.Right - text_.Width;
  // Only the columns inside the form are drawn: a caption may be many screens wide.
  const int shownLeft = std::max(x, 0);
  const int shownRight = std::min(x + text_.Width, owner_.BoundsInPixels().Width());
  if (shownRight <= shownLeft || text_.Height <= 0) return;
  const platform::TextImageSpan span{shownLeft - x, shownRight - shownLeft};
  // The image at rest comes first: its size tells how many phases the line can have.
  const platform::TextImage* still = Image(span, 0, platform::kSubpixelSteps);
  if (still == nullptr) return;
  const int step = PhaseStep(still->Bytes());
  const std::int64_t shown = ShownTop();
  // The nearest phase it can be drawn at: the row above, and the sixteenths below it.
  const std::int64_t drawnAt = FloorDiv(shown + step / 2, step) * step;
  const std::int64_t row = FloorDiv(drawnAt, platform::kSubpixelSteps);
  const auto phase = static_cast<int>(drawnAt - row * platform::kSubpixelSteps);
  const platform::TextImage* image = phase == 0 ? still : Image(span, phase, step);
  if (image != nullptr) canvas.DrawImage(*image, shownLeft, static_cast<int>(row));
}

const platform::TextImage* Label::Image(platform::TextImageSpan span, int phase, int step) const {
  const Color background = owner_.BackColor();
  if (!drawn_ || drawn_->Span != span || drawn_->Background != background) {
    drawn_ = DrawnText{span, background, {}};
  }
  auto& images = drawn_->Phases;
  if (!images[static_cast<std::size_t>(phase)]) {
    // The still image alone; or, once the line moves, every phase it is drawn at that is not
    // drawn yet, together.
    platform::PhaseSet wanted;
    wanted.set(0, phase == 0);
    for (int each = step; phase > 0 && each < platform::kSubpixelSteps; each += step) {
      wanted.set(static_cast<std::size_t>(each), !images[static_cast<std::size_t>(each)]);
    }
    platform::PhaseImages made =
        owner_.backend_.CreateTextImages(font_, caption_, span, wanted, foreColor_, background);
    for (std::size_t each = 0; each < made.size(); ++each) {
      if (wanted.test(each)) images[each] = std::move(made[each]);
    }
  }
  return images[static_cast<std::size_t>(phase)].get();
}

}  // namespace velloway::forms
