#include "platform/forms.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <utility>

#include "platform/utf8.h"
#include "velloway_version.h"

namespace velloway::forms {

std::size_t FontSpecHash::operator()(const FontSpec& font) const {
  std::size_t hash = std::hash<std::string>{}(font.Name);
  const auto mix = [&hash](std::size_t value) {
    hash ^= value + 0x9E3779B97F4A7C15ull + (hash << 6) + (hash >> 2);
  };
  mix(std::bit_cast<std::uint32_t>(font.Size));
  mix(static_cast<std::size_t>(font.Bold) | (static_cast<std::size_t>(font.Italic) << 1));
  mix(static_cast<std::size_t>(font.Charset));
  return hash;
}

int ToPixels(Twips twips, float twipsPerPixel) {
  return static_cast<int>(std::lround(twips / twipsPerPixel));
}

std::string_view KeptCaption(std::string_view caption) {
  constexpr std::size_t kMaxCaptionBytes = 65'536;
  if (caption.size() <= kMaxCaptionBytes) return caption;
  return caption.substr(0, utf8::CharStart(caption, kMaxCaptionBytes));
}

CaptionBox MeasureCaption(Backend& backend, const FontSpec& font, std::string_view caption) {
  const TextExtent text = backend.MeasureText(font, caption);
  const Screen screen(backend.Screen());
  return {text, static_cast<Twips>(text.Width) * screen.TwipsPerPixelX(),
          static_cast<Twips>(text.Height) * screen.TwipsPerPixelY()};
}

PixelRect PixelRect::Intersect(const PixelRect& other) const {
  return {std::max(Left, other.Left), std::max(Top, other.Top), std::min(Right, other.Right),
          std::min(Bottom, other.Bottom)};
}

PixelRect PixelRect::Union(const PixelRect& other) const {
  if (IsEmpty()) return other;
  if (other.IsEmpty()) return *this;
  return {std::min(Left, other.Left), std::min(Top, other.Top), std::max(Right, other.Right),
          std::max(Bottom, other.Bottom)};
}

// --- Application ---

std::int16_t Application::Major() {
  return VELLOWAY_VERSION_MAJOR;
}
std::int16_t Application::Minor() {
  return VELLOWAY_VERSION_MINOR;
}
std::int16_t Application::Revision() {
  return VELLOWAY_VERSION_REVISION;
}

void Application::End() {
  backend_.End();
  std::abort();  // a backend's End never returns; if one did, the program must still end here
}

std::string Application::GetSetting(std::string_view app, std::string_view section,
                                    std::string_view key, std::string_view defaultValue) const {
  // Longer than the longest path Windows opens: not a value this program wrote or could use.
  constexpr std::size_t kMaxValueBytes = 32'767;
  std::optional<std::string> value = backend_.Settings().Read(app, section, key);
  if (!value || value->size() > kMaxValueBytes) return std::string(defaultValue);
  return std::move(*value);
}

void Application::SaveSetting(std::string_view app, std::string_view section, std::string_view key,
                              std::string_view value) const {
  backend_.Settings().Write(app, section, key, value);
}

// --- Form ---

Form::Form(Backend& backend, FormDesign design)
    : backend_(backend), app_(backend), design_(std::move(design)) {}

Form::~Form() = default;

void Form::Load() {
  if (window_) return;
  const WindowStyle style{design_.Border, design_.ShowInTaskbar, design_.InvisiblePointer};
  window_ = backend_.CreateNativeWindow(*this, style, design_.Caption);
  if (!window_) return;  // the backend has said why; the form stays unloaded
  PlaceWindow();
  for (Control* control : controls_) control->Realize(*window_);
  OnLoad();
}

void Form::Show() {
  Load();
  if (!window_) return;
  if (design_.StartUp == StartUpPosition::CenterScreen) {
    // The whole window, frame included, goes to the middle of the screen.
    const forms::Screen screen = Screen();
    const PixelRect client = BoundsInPixels();
    const PixelRect outer = window_->OuterBounds({0, 0, client.Width(), client.Height()});
    const int left = (backend_.Screen().WidthPx - outer.Width()) / 2 - outer.Left;
    const int top = (backend_.Screen().HeightPx - outer.Height()) / 2 - outer.Top;
    left_ = static_cast<Twips>(left) * screen.TwipsPerPixelX();
    top_ = static_cast<Twips>(top) * screen.TwipsPerPixelY();
    PlaceWindow();
  }
  window_->Show();
}

void Form::Unload() {
  DropWindow();
}

void Form::SetBackColor(Color color) {
  design_.BackColor = color;
  const PixelRect bounds = BoundsInPixels();
  Invalidate({0, 0, bounds.Width(), bounds.Height()});
}

void Form::SetWidth(Twips width) {
  Move(left_, top_, width, design_.Height);
}

void Form::SetHeight(Twips height) {
  Move(left_, top_, design_.Width, height);
}

void Form::Move(Twips left, Twips top, Twips width, Twips height) {
  const bool resized = width != design_.Width || height != design_.Height;
  left_ = left;
  top_ = top;
  design_.Width = width;
  design_.Height = height;
  PlaceWindow();
  if (resized) OnResize();
}

void Form::KeepAboveOthers() {
  if (window_) window_->KeepAboveOthers();
}

void Form::EmbedIn(WindowId host) {
  if (!window_) return;
  const PixelRect area = window_->EmbedIn(host);
  const forms::Screen screen = Screen();
  left_ = 0;
  top_ = 0;
  design_.Width = static_cast<Twips>(area.Width()) * screen.TwipsPerPixelX();
  design_.Height = static_cast<Twips>(area.Height()) * screen.TwipsPerPixelY();
  OnResize();
}

WindowId Form::Id() const {
  return window_ ? window_->Id() : 0;
}

void Form::PaintContent(Canvas& canvas, const PixelRect& area) const {
  canvas.FillRect(area, design_.BackColor);
  for (const Label* label : labels_) {
    if (label->Visible() && !label->PixelBounds().Intersect(area).IsEmpty()) label->Paint(canvas);
  }
}

void Form::OnPaint(Canvas& canvas, const PixelRect& area) {
  PaintContent(canvas, area);
}

void Form::OnPointerButtonDown(MouseButton button, int x, int y) {
  pressedOnSurface_.at(static_cast<std::size_t>(button)) = IsOnSurface(x, y);
}

void Form::OnPointerButtonUp(MouseButton button, int x, int y) {
  // A click is a press and its release both on the form's own surface: a press on a line that
  // ends on the background, or the reverse, clicks nothing.
  const bool pressedOnSurface =
      std::exchange(pressedOnSurface_.at(static_cast<std::size_t>(button)), false);
  if (pressedOnSurface && IsOnSurface(x, y)) OnClick();
}

bool Form::IsOnSurface(int x, int y) const {
  return std::none_of(labels_.begin(), labels_.end(), [&](const Label* label) {
    return label->Visible() && label->PixelBounds().Contains(x, y);
  });
}

void Form::OnDestroyedBySystem() {
  DropWindow();
}

void Form::Invalidate(const PixelRect& area) {
  if (window_ && !area.IsEmpty()) window_->Invalidate(area);
}

void Form::DropWindow() {
  for (Control* control : controls_) control->Unrealize();
  window_.reset();
}

void Form::PlaceWindow() {
  if (window_) window_->SetBounds(BoundsInPixels());
}

PixelRect Form::BoundsInPixels() const {
  const forms::Screen screen = Screen();
  const int left = ToPixels(left_, screen.TwipsPerPixelX());
  const int top = ToPixels(top_, screen.TwipsPerPixelY());
  return {left, top, left + ToPixels(design_.Width, screen.TwipsPerPixelX()),
          top + ToPixels(design_.Height, screen.TwipsPerPixelY())};
}

// --- Label ---

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
  const CaptionBox box = MeasureCaption(owner_.backend_, font_, caption_);
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

// --- Controls ---

Control::Control(Form& owner, ControlKind kind, ControlDesign design)
    : owner_(owner), kind_(kind), design_(std::move(design)) {
  owner_.Register(*this);
}

Control::~Control() = default;

void Control::Move(Twips left, Twips top, Twips width, Twips height) {
  design_.Left = left;
  design_.Top = top;
  design_.Width = width;
  design_.Height = height;
  if (native_) native_->SetBounds(PixelBounds());
}

PixelRect Control::PixelBounds() const {
  const forms::Screen screen = owner_.Screen();
  const int left = ToPixels(design_.Left, screen.TwipsPerPixelX());
  const int top = ToPixels(design_.Top, screen.TwipsPerPixelY());
  return {left, top, left + ToPixels(design_.Width, screen.TwipsPerPixelX()),
          top + ToPixels(design_.Height, screen.TwipsPerPixelY())};
}

void Control::Realize(NativeWindow& window) {
  ControlProperties properties;
  properties.Kind = kind_;
  properties.Bounds = PixelBounds();
  properties.Caption = design_.Caption;
  properties.Font = design_.Font;
  properties.ForeColor = design_.ForeColor;
  properties.BackColor = design_.BackColor;
  properties.IsDefault = design_.IsDefault;
  properties.IsCancel = design_.IsCancel;
  properties.Picture = design_.Picture;
  native_ = window.CreateControl(properties, *this);
  if (native_) Restore();  // else the form goes on without the control
}

void Control::Unrealize() {
  if (!native_) return;
  Save();
  native_.reset();
}

ComboBox::ComboBox(Form& owner, ControlDesign design)
    : Control(owner, ControlKind::DropDownList, std::move(design)) {}

void ComboBox::AddItem(std::string text) {
  if (Native()) Native()->AddItem(text);
  items_.push_back(std::move(text));
}

int ComboBox::ListIndex() const {
  return Native() ? Native()->SelectedIndex() : listIndex_;
}

std::string ComboBox::Text() const {
  if (Native()) return Native()->SelectedText();
  return listIndex_ < 0 ? std::string() : List(listIndex_);
}

void ComboBox::SetListIndex(int index) {
  listIndex_ = index >= 0 && index < ListCount() ? index : -1;
  if (Native()) Native()->SetSelectedIndex(listIndex_);
}

void ComboBox::Restore() {
  for (const std::string& item : items_) Native()->AddItem(item);
  Native()->SetSelectedIndex(listIndex_);
}

void ComboBox::Save() {
  const int index = Native()->SelectedIndex();
  listIndex_ = index < ListCount() ? index : -1;
}

CheckBox::CheckBox(Form& owner, ControlDesign design)
    : Control(owner, ControlKind::CheckBox, std::move(design)) {}

bool CheckBox::Checked() const {
  return Native() ? Native()->IsChecked() : checked_;
}

void CheckBox::SetChecked(bool checked) {
  checked_ = checked;
  if (Native()) Native()->SetChecked(checked);
}

void CheckBox::Restore() {
  Native()->SetChecked(checked_);
}

void CheckBox::Save() {
  checked_ = Native()->IsChecked();
}

CommandButton::CommandButton(Form& owner, ControlDesign design, std::function<void()> onClick)
    : Control(owner, ControlKind::PushButton, std::move(design)), onClick_(std::move(onClick)) {}

// --- Timer ---

Timer::Timer(Form& owner, std::int32_t interval, bool enabled, std::function<void()> onTick)
    : interval_(interval),
      enabled_(enabled),
      driver_(owner.backend_.CreateTimer(std::move(onTick))) {
  Apply();
}

void Timer::SetInterval(std::int32_t interval) {
  interval_ = interval;
  Apply();
}

void Timer::SetEnabled(bool enabled) {
  enabled_ = enabled;
  Apply();
}

void Timer::Apply() {
  driver_->Run(enabled_ && interval_ > 0 ? interval_ : 0);
}

}  // namespace velloway::forms
