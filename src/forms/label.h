#pragma once
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
  FontSpec Font;
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
// draws no text.
class Label {
 public:
  Label(Form& owner, LabelDesign design);
  Label(const Label&) = delete;
  Label& operator=(const Label&) = delete;

  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);
  const std::string& FontName() const { return font_.Name; }
  void SetFontName(std::string name);
  float FontSize() const { return font_.Size; }
  void SetFontSize(float points);
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

  // Shows the label with its top at topPx pixels of the client area, wherever Top() places it,
  // from now on: smooth motion shows a line a few pixels off its place between the roll's ticks.
  void ShowTopAt(int topPx);
  // Takes the other label's text, font, colour, place, size and visibility, and its image as it
  // is drawn: a line the roll has let go, shown on until it is out of sight.
  void ShowCopyOf(const Label& other);

  // Where the label is shown on its form's client area, in pixels.
  PixelRect PixelBounds() const;
  void Paint(Canvas& canvas) const;

 private:
  enum class Remeasure { No, Yes };
  // What a change does to the picture: a move shows nothing new where the label stays put.
  enum class Change { Look, Place };
  // Applies a change and repaints what it touched: the union of the old and new rectangles.
  // Only changes of the text or its font measure the text again.
  template <typename Apply>
  void Update(Apply&& apply, Change change, Remeasure remeasure = Remeasure::No);
  void Measure();
  // The image of the text's part inside the form, drawn afresh when the text, font or colours
  // changed or another part shows; null when none can be made.
  const TextImage* Image(TextImageSpan span) const;

  Form& owner_;
  std::string caption_;
  FontSpec font_;
  Color foreColor_;
  bool autoSize_;
  Alignment alignment_;
  bool visible_;
  Twips left_;
  Twips top_;
  Twips width_;
  Twips height_;
  TextExtent text_;  // the caption's rendered size in pixels
  std::optional<int> shownTop_;
  // The text as last drawn, shared with the labels that show a copy of this one.
  struct DrawnText {
    std::shared_ptr<const TextImage> Image;
    TextImageSpan Span;
    Color Background = 0;
  };
  mutable std::optional<DrawnText> drawn_;  // nothing: to be drawn at the next paint
};

}  // namespace velloway::forms
