#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "forms/form.h"

namespace velloway::forms {

enum class Alignment { LeftJustify, RightJustify, Center };

// How a label is designed. Design values stand as they are: an auto-sized label takes the size
// of its text only when its text or font changes.
struct LabelDesign {
  std::string Caption;
  platform::FontSpec Font;
  Color ForeColor = 0;
  bool AutoSize = false;
  Alignment TextAlignment = Alignment::LeftJustify;
  bool Visible = true;
  Twips Left = 0;
  Twips Top = 0;
  Twips Width = 1215;
  Twips Height = 255;
};

// A windowless label: one line of text drawn over its form's background. With AutoSize its
// Width and Height follow the rendered text. A visible label takes the clicks made on it: a
// button pressed or released on it clicks nothing. Its text is drawn into an image when it is
// first painted after a change of its caption, font or colour; painting it again, anywhere,
// draws no text. Shown between whole pixels, it is drawn at the nearest sixteenth of a pixel, its
// image at each such phase drawn once (as many phases as its memory allows: kLineImageBytes).
class Label {
 public:
  Label(Form& owner, LabelDesign design);
  Label(const Label&) = delete;
  Label& operator=(const Label&) = delete;

  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);
  const std::string& FontName() const { return font_.Name; }
  float FontSize() const { return font_.Size; }
  // The caption in the font of that name and size (in points): a new line's text, measured once.
  void SetText(std::string caption, std::string fontName, float points);
  Color ForeColor() const { return foreColor_; }
  void SetForeColor(Color color);
  bool AutoSize() const { return autoSize_; }
  Alignment TextAlignment() const { return alignment_; }
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  Twips Left() const { return left_; }
  void SetLeft(Twips left);
  Twips Top() const { return top_; }
  void SetTop(Twips top);
  Twips Width() const { return width_; }
  Twips Height() const { return height_; }

  // Shows the label with its top at topPx pixels of the client area, fractions included,
  // wherever Top() places it, from now on: smooth motion shows a line between whole pixels, a few
  // pixels off its place between the roll's ticks.
  void ShowTopAt(double topPx);
  // Takes the other label's text, font, colour, place, size and visibility, and its image as it
  // is drawn: a line the roll has let go, shown on until it is out of sight.
  void ShowCopyOf(const Label& other);

  // Where the label is shown on its form's client area, in pixels: a row more than its height
  // when it is shown between whole pixels.
  platform::PixelRect PixelBounds() const;
  void Paint(platform::Canvas& canvas) const;

 private:
  enum class Remeasure { No, Yes };
  // What a change does to the picture: a move shows nothing new where the label stays put.
  enum class Change { Look, Place };
  // Applies a change and repaints what it touched: the union of the old and new rectangles.
  // Only changes of the text or its font measure the text again.
  template <typename Apply>
  void Update(Apply&& apply, Change change, Remeasure remeasure = Remeasure::No);
  void Measure();
  // Where the top is shown, in sixteenths of a pixel.
  std::int64_t ShownTop() const;
  // The image of the text's part inside the form at a phase, drawn afresh when the text, font or
  // colours changed or another part shows; null when none can be made. A moving line is drawn at
  // every step-th phase.
  const platform::TextImage* Image(platform::TextImageSpan span, int phase, int step) const;

  Form& owner_;
  std::string caption_;
  platform::FontSpec font_;
  Color foreColor_;
  bool autoSize_;
  Alignment alignment_;
  bool visible_;
  Twips left_;
  Twips top_;
  Twips width_;
  Twips height_;
  platform::TextExtent text_;             // the caption's rendered size in pixels
  std::optional<std::int64_t> shownTop_;  // in sixteenths of a pixel
  // The text as last drawn, at each phase drawn so far (index Phase), shared with the labels that
  // show a copy of this one.
  struct DrawnText {
    platform::TextImageSpan Span;
    Color Background = 0;
    std::array<std::shared_ptr<const platform::TextImage>, platform::kSubpixelSteps> Phases;
  };
  mutable std::optional<DrawnText> drawn_;  // nothing: to be drawn at the next paint
};

}  // namespace velloway::forms
