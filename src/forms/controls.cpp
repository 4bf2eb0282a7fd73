#include "forms/controls.h"

#include <utility>

namespace velloway::forms {

Control::Control(Form& owner, platform::ControlKind kind, ControlDesign design)
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

platform::PixelRect Control::PixelBounds() const {
  const forms::Screen screen = owner_.Screen();
  const int left = ToPixels(design_.Left, screen.TwipsPerPixelX());
  const int top = ToPixels(design_.Top, screen.TwipsPerPixelY());
  return {left, top, left + ToPixels(design_.Width, screen.TwipsPerPixelX()),
          top + ToPixels(design_.Height, screen.TwipsPerPixelY())};
}

void Control::Realize(platform::NativeWindow& window) {
  platform::ControlProperties properties;
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
    : Control(owner, platform::ControlKind::DropDownList, std::move(design)) {}

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
    : Control(owner, platform::ControlKind::CheckBox, std::move(design)) {}

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
    : Control(owner, platform::ControlKind::PushButton, std::move(design)),
      onClick_(std::move(onClick)) {}

}  // namespace velloway::forms
