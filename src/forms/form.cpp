#include "forms/form.h"

#include <utility>

#include "forms/controls.h"
#include "forms/label.h"

namespace velloway::forms {

Form::Form(platform::Backend& backend, FormDesign design)
    : backend_(backend), app_(backend, backend.Settings()), design_(std::move(design)) {}

Form::~Form() = default;

void Form::Load() {
  if (window_) return;
  const platform::WindowStyle style{design_.Border, design_.ShowInTaskbar,
                                    design_.InvisiblePointer};
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
    const platform::PixelRect client = BoundsInPixels();
    const platform::PixelRect outer = window_->OuterBounds({0, 0, client.Width(), client.Height()});
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
  const platform::PixelRect bounds = BoundsInPixels();
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

void Form::EmbedIn(platform::WindowId host) {
  if (!window_) return;
  left_ = 0;
  top_ = 0;
  TakeHostArea(window_->EmbedIn(host));
  OnResize();
}

void Form::FillHost() {
  if (window_ && TakeHostArea(window_->FillHost())) OnResize();
}

bool Form::TakeHostArea(const platform::PixelRect& area) {
  const forms::Screen screen = Screen();
  const Twips width = static_cast<Twips>(area.Width()) * screen.TwipsPerPixelX();
  const Twips height = static_cast<Twips>(area.Height()) * screen.TwipsPerPixelY();
  if (width == design_.Width && height == design_.Height) return false;
  design_.Width = width;
  design_.Height = height;
  return true;
}

platform::WindowId Form::Id() const {
  return window_ ? window_->Id() : 0;
}

void Form::PaintContent(platform::Canvas& canvas, const platform::PixelRect& area) const {
  canvas.FillRect(area, design_.BackColor);
  for (const Label* label : labels_) {
    if (label->Visible() && !label->PixelBounds().Intersect(area).IsEmpty()) label->Paint(canvas);
  }
}

void Form::OnPaint(platform::Canvas& canvas, const platform::PixelRect& area) {
  PaintContent(canvas, area);
}

void Form::OnPointerButtonDown(platform::MouseButton button, int x, int y) {
  pressedOnSurface_.at(static_cast<std::size_t>(button)) = IsOnSurface(x, y);
}

void Form::OnPointerButtonUp(platform::MouseButton button, int x, int y) {
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

void Form::Invalidate(const platform::PixelRect& area) {
  if (window_ && !area.IsEmpty()) window_->Invalidate(area);
}

void Form::DropWindow() {
  for (Control* control : controls_) control->Unrealize();
  window_.reset();
}

void Form::PlaceWindow() {
  if (window_) window_->SetBounds(BoundsInPixels());
}

platform::PixelRect Form::BoundsInPixels() const {
  const forms::Screen screen = Screen();
  const int left = ToPixels(left_, screen.TwipsPerPixelX());
  const int top = ToPixels(top_, screen.TwipsPerPixelY());
  return {left, top, left + ToPixels(design_.Width, screen.TwipsPerPixelX()),
          top + ToPixels(design_.Height, screen.TwipsPerPixelY())};
}

}  // namespace velloway::forms
