#pragma once
// Our small forms toolkit: forms with their load, click and key events, windowless labels,
// timers, the screen and the application. Positions and sizes are in twips (1440 per inch); the
// toolkit converts them to pixels by the screen's DPI. The same window code runs on the win32
// and the headless backend.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/backend.h"

namespace velloway::forms {

using Twips = float;

inline constexpr float kTwipsPerInch = 1440.0f;

// Twips as whole pixels, rounded to the nearest, as every form and control is placed.
int ToPixels(Twips twips, float twipsPerPixel);

// The primary monitor as the windows see it, read afresh on each call of Form::Screen().
class Screen {
 public:
  explicit Screen(const ScreenMetrics& metrics) : metrics_(metrics) {}
  Twips Width() const { return static_cast<Twips>(metrics_.WidthPx) * TwipsPerPixelX(); }
  Twips Height() const { return static_cast<Twips>(metrics_.HeightPx) * TwipsPerPixelY(); }
  float TwipsPerPixelX() const { return kTwipsPerInch / static_cast<float>(metrics_.DpiX); }
  float TwipsPerPixelY() const { return kTwipsPerInch / static_cast<float>(metrics_.DpiY); }
  const std::vector<MonitorArea>& OtherMonitors() const { return metrics_.OtherMonitors; }
  int RefreshHz() const { return metrics_.RefreshHz; }

 private:
  ScreenMetrics metrics_;
};

// The most of a caption a label keeps, cut at a character's start: no screen shows more of one
// line, and measuring and drawing all of a longer caption at every move would slow the roll.
std::string_view KeptCaption(std::string_view caption);

// A caption's box as an auto-sized label takes it: the rendered text in pixels, and that size in
// twips of the primary screen as it is now. The one measure of a line's box: labels and the roll
// engine both take it, so that the roll's spacing and what is shown agree to the twip.
struct CaptionBox {
  TextExtent Text;
  Twips Width = 0;
  Twips Height = 0;
};
CaptionBox MeasureCaption(Backend& backend, const FontSpec& font, std::string_view caption);

// The program itself: its directory and version, event processing, its end, its settings.
class Application {
 public:
  explicit Application(Backend& backend) : backend_(backend) {}
  std::string Path() const { return backend_.AppPath(); }
  static std::int16_t Major();
  static std::int16_t Minor();
  static std::int16_t Revision();
  void DoEvents() { backend_.DoEvents(); }
  [[noreturn]] void End();
  // The stored text, or defaultValue when it is absent, cannot be read, or is too long to be a
  // value this program wrote.
  std::string GetSetting(std::string_view app, std::string_view section, std::string_view key,
                         std::string_view defaultValue) const;
  // Stores a text; a store that cannot be written is ignored.
  void SaveSetting(std::string_view app, std::string_view section, std::string_view key,
                   std::string_view value) const;

 private:
  Backend& backend_;
};

enum class StartUpPosition { Manual = 0, CenterScreen = 2 };

// How a form is designed, before any code runs.
struct FormDesign {
  std::string Caption;
  BorderStyle Border = BorderStyle::FixedSingle;
  bool ShowInTaskbar = true;
  StartUpPosition StartUp = StartUpPosition::CenterScreen;
  Color BackColor = 0xF0F0F0;  // light grey, as dialogs are
  bool InvisiblePointer = false;
  Twips Width = 4800;
  Twips Height = 3600;
};

class Label;
class Control;

class Form : private WindowEvents {
 public:
  Form(Backend& backend, FormDesign design);
  ~Form() override;
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  // Creates the window, hidden, and raises the load event; does nothing when loaded already.
  // A window the backend cannot make leaves the form unloaded.
  void Load();
  // Loads the form if needed and shows it, modeless.
  void Show();
  // Destroys the window; the program ends when no window is left.
  void Unload();
  bool IsLoaded() const { return window_ != nullptr; }

  const std::string& Caption() const { return design_.Caption; }
  Color BackColor() const { return design_.BackColor; }
  void SetBackColor(Color color);
  Twips Left() const { return left_; }
  Twips Top() const { return top_; }
  Twips Width() const { return design_.Width; }
  Twips Height() const { return design_.Height; }
  void SetWidth(Twips width);
  void SetHeight(Twips height);
  void Move(Twips left, Twips top, Twips width, Twips height);
  // Puts the window above all other windows, where it stays.
  void KeepAboveOthers();
  // Makes the window a child of host that covers host's client area; the form takes that size.
  void EmbedIn(WindowId host);
  WindowId Id() const;

  // Paints the client area's part `area`: the background, then the visible labels over it.
  void PaintContent(Canvas& canvas, const PixelRect& area) const;

 protected:
  virtual void OnLoad() {}
  // The form's size has changed.
  virtual void OnResize() {}
  // A mouse button, any of them, was pressed and released on the form's own surface.
  virtual void OnClick() {}
  // A key went down, any key, whether it types or not.
  void OnKeyDown() override {}
  // A window of another program took the activation from this program.
  virtual void OnOtherProgramActivated() {}
  virtual void OnMinimized() {}
  // The screens changed their size, number or layout; Screen() tells the new ones.
  virtual void OnScreensChanged() {}

  forms::Screen Screen() const { return forms::Screen(backend_.Screen()); }
  Application& App() { return app_; }
  forms::Backend& Platform() { return backend_; }

 private:
  friend class Label;
  friend class Timer;
  friend class Control;

  void OnPaint(Canvas& canvas, const PixelRect& area) override;
  void OnPointerButtonDown(MouseButton button, int x, int y) override;
  void OnPointerButtonUp(MouseButton button, int x, int y) override;
  void OnActivatedElsewhere() override { OnOtherProgramActivated(); }
  void OnMinimizedBySystem() override { OnMinimized(); }
  void OnDisplayChanged() override { OnScreensChanged(); }
  void OnDestroyedBySystem() override;

  void Register(Label& label) { labels_.push_back(&label); }
  void Register(Control& control) { controls_.push_back(&control); }
  void Invalidate(const PixelRect& area);
  void PlaceWindow();
  // Drops the native controls, then the window.
  void DropWindow();
  PixelRect BoundsInPixels() const;
  // Whether (x, y) lies on the form's own surface rather than on a visible label.
  bool IsOnSurface(int x, int y) const;

  Backend& backend_;
  Application app_;
  FormDesign design_;
  Twips left_ = 0;
  Twips top_ = 0;
  std::unique_ptr<NativeWindow> window_;
  std::vector<Label*> labels_;      // in creation order, which is also the paint order
  std::vector<Control*> controls_;  // in creation order, which is also the tab order
  // For each mouse button: it went down on the form's own surface and is not up yet.
  std::array<bool, kMouseButtonCount> pressedOnSurface_{};
};

enum class Alignment { LeftJustify = 0, RightJustify = 1, Center = 2 };

// How a label is designed. Design values stand as they are: an auto-sized label takes the size
// of its text only when its text or font changes.
struct LabelDesign {
  std::string Caption;
  FontSpec Font{"MS Sans Serif", 8.25f, false, false, kDefaultCharset};
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

// How a child control is designed: its place in twips, its text and font, its colours.
struct ControlDesign {
  Twips Left = 0;
  Twips Top = 0;
  Twips Width = 1215;
  Twips Height = 375;
  std::string Caption;
  FontSpec Font{"MS Sans Serif", 8.25f, false, false, kDefaultCharset};
  Color ForeColor = 0;
  Color BackColor = 0xFFFFFF;
  bool IsDefault = false;
  bool IsCancel = false;
  std::string Picture;
};

// A child control: a native control of the platform, made when its form loads.
class Control : private ControlEvents {
 public:
  Control(Form& owner, ControlKind kind, ControlDesign design);
  ~Control() override;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  void Move(Twips left, Twips top, Twips width, Twips height);

 protected:
  NativeControl* Native() const { return native_.get(); }

 private:
  friend class Form;
  // Makes the native control on the form's window, and drops it when the window goes.
  void Realize(NativeWindow& window);
  void Unrealize();
  PixelRect PixelBounds() const;
  virtual void Restore() {}  // gives a newly made native control the object's state
  virtual void Save() {}     // takes the native control's state before it goes

  Form& owner_;
  ControlKind kind_;
  ControlDesign design_;
  std::unique_ptr<NativeControl> native_;
};

// A drop-down list the user can only choose from.
class ComboBox : public Control {
 public:
  ComboBox(Form& owner, ControlDesign design);
  void AddItem(std::string text);
  int ListCount() const { return static_cast<int>(items_.size()); }
  const std::string& List(int index) const { return items_.at(static_cast<std::size_t>(index)); }
  // The selected entry, -1 when nothing is selected; while the form is loaded, as the control
  // holds it at this moment.
  int ListIndex() const;
  void SetListIndex(int index);
  // The selected entry's text; empty when nothing is selected.
  std::string Text() const;

 private:
  void Restore() override;
  void Save() override;

  std::vector<std::string> items_;
  int listIndex_ = -1;  // while the form is not loaded
};

// A check box with its caption beside it.
class CheckBox : public Control {
 public:
  CheckBox(Form& owner, ControlDesign design);
  // While the form is loaded, as the control holds it at this moment.
  bool Checked() const;
  void SetChecked(bool checked);

 private:
  void Restore() override;
  void Save() override;

  bool checked_ = false;  // while the form is not loaded
};

// A push button; a default button is pressed by Enter, a cancel button by Escape.
class CommandButton : public Control {
 public:
  CommandButton(Form& owner, ControlDesign design, std::function<void()> onClick);

 private:
  void OnControlClick() override { onClick_(); }

  std::function<void()> onClick_;
};

// A still picture, from the program's resources, scaled to fill the control.
class PictureBox : public Control {
 public:
  PictureBox(Form& owner, ControlDesign design)
      : Control(owner, ControlKind::Picture, std::move(design)) {}
};

// Raises onTick every Interval milliseconds while Enabled; an Interval of 0 raises no ticks.
class Timer {
 public:
  Timer(Form& owner, std::int32_t interval, bool enabled, std::function<void()> onTick);
  std::int32_t Interval() const { return interval_; }
  void SetInterval(std::int32_t interval);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

 private:
  void Apply();

  std::int32_t interval_;
  bool enabled_;
  std::unique_ptr<TimerDriver> driver_;
};

}  // namespace velloway::forms
