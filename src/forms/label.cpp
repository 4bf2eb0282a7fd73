#include "forms/label.h"

#include <utility>

#include "forms/caption.h"

namespace velloway::forms {

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
  const PixelRect before = visible_ ? PixelBounds() : PixelRect{};
  apply();
  if (change == Change::Look) drawn_.reset();
  if (remeasure == Remeasure::Yes) Measure();
  const PixelRect after = visible_ ? PixelBounds() : PixelRect{};
  if (change == Change::Place && before == after) return;
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
  caption.resize(KeptCaption(caption).size());
  Update([&] { caption_ = std::move(caption); }, Change::Look, Remeasure::Yes);
}
void Label::SetFontName(std::string name) {
  Update([&] { font_.Name = std::move(name); }, Change::Look, Remeasure::Yes);
}
void Label::SetFontSize(float points) {
  Update([&] { font_.Size = points; }, Change::Look, Remeasure::Yes);
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
void Label::ShowTopAt(int topPx) {
  Update([&] { shownTop_ = topPx; }, Change::Place);
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

PixelRect Label::PixelBounds() const {
  const forms::Screen screen = owner_.Screen();
  const int left = ToPixels(left_, screen.TwipsPerPixelX());
  const int top = shownTop_.value_or(ToPixels(top_, screen.TwipsPerPixelY()));
  return {left, top, left + ToPixels(width_, screen.TwipsPerPixelX()),
          top + ToPixels(height_, screen.TwipsPerPixelY())};
}

void Label::Paint(Canvas& canvas) const {
  const PixelRect bounds = PixelBounds();
  int x = bounds.Left;
  if (alignment_ == Alignment::Center) x += (bounds.Width() - text_.Width) / 2;
  if (alignment_ == Alignment::RightJustify) x = bounds.Right - text_.Width;
  // Only the columns inside the form are drawn: a caption may be many screens wide.
  const int shownLeft = std::max(x, 0);
  const int shownRight = std::min(x + text_.Width, owner_.BoundsInPixels().Width());
  if (shownRight <= shownLeft || text_.Height <= 0) return;
  if (const TextImage* image = Image({shownLeft - x, shownRight - shownLeft})) {
    canvas.DrawImage(*image, shownLeft, bounds.Top);
  }
}

const TextImage* Label::Image(TextImageSpan span) const {
  const Color background = owner_.BackColor();
  if (!drawn_ || drawn_->Span != span || drawn_->Background != background) {
    drawn_ =
        DrawnText{owner_.backend_.CreateTextImage(font_, caption_, span, foreColor_, background),
                  span, background};
  }
  return drawn_->Image.get();
}

}  // namespace velloway::forms
