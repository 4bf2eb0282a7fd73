#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "forms/form.h"

namespace velloway::forms {

// How a child control is designed: its place in twips, its text and font, its colours.
struct ControlDesign {
  Twips Left = 0;
  Twips Top = 0;
  Twips Width = 1215;
  Twips Height = 375;
  std::string Caption;
  platform::FontSpec Font;
  Color ForeColor = 0;
  Color BackColor = 0xFFFFFF;
  bool IsDefault = false;
  bool IsCancel = false;
  std::string Picture;
};

// A child control: a native control of the platform, made when its form loads.
class Control : private platform::ControlEvents {
 public:
  Control(Form& owner, platform::ControlKind kind, ControlDesign design);
  ~Control() override;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  void Move(Twips left, Twips top, Twips width, Twips height);

 protected:
  platform::NativeControl* Native() const { return native_.get(); }

 private:
  friend class Form;
  // Makes the native control on the form's window, and drops it when the window goes.
  void Realize(platform::NativeWindow& window);
  void Unrealize();
  platform::PixelRect PixelBounds() const;
  virtual void Restore() {}  // gives a newly made native control the object's state
  virtual void Save() {}     // takes the native control's state before it goes

  Form& owner_;
  platform::ControlKind kind_;
  ControlDesign design_;
  std::unique_ptr<platform::NativeControl> native_;
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
      : Control(owner, platform::ControlKind::Picture, std::move(design)) {}
};

}  // namespace velloway::forms
