#pragma once
// Our small forms toolkit: forms with their load, click and key events, windowless labels,
// child controls and timers. The same window code runs on every backend.
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "forms/application.h"
#include "forms/screen.h"
#include "platform/backend.h"

namespace velloway::forms {

enum class StartUpPosition { Manual, CenterScreen };

// How a form is designed, before any code runs.
struct FormDesign {
  std::string Caption;
  platform::BorderStyle Border = platform::BorderStyle::FixedSingle;
  bool ShowInTaskbar = true;
  StartUpPosition StartUp = StartUpPosition::CenterScreen;
  Color BackColor = 0xF0F0F0;  // light grey, as dialogs are
  bool InvisiblePointer = false;
  Twips Width = 4800;
  Twips Height = 3600;
};

class Label;
class Control;

class Form : private platform::WindowEvents {
 public:
  Form(platform::Backend& backend, FormDesign design);
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
  void EmbedIn(platform::WindowId host);
  // An embedded form covers its host's client area again, taking its present size.
  void FillHost();
  platform::WindowId Id() const;

  // Paints the client area's part `area`: the background, then the visible labels over it.
  void PaintContent(platform::Canvas& canvas, const platform::PixelRect& area) const;

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
  platform::Backend& Platform() { return backend_; }

 private:
  friend class Label;
  friend class Timer;
  friend class Control;

  void OnPaint(platform::Canvas& canvas, const platform::PixelRect& area) override;
  void OnPointerButtonDown(platform::MouseButton button, int x, int y) override;
  void OnPointerButtonUp(platform::MouseButton button, int x, int y) override;
  void OnActivatedElsewhere() override { OnOtherProgramActivated(); }
  void OnMinimizedBySystem() override { OnMinimized(); }
  void OnDisplayChanged() override { OnScreensChanged(); }
  void OnDestroyedBySystem() override;

  void Register(Label& label) { labels_.push_back(&label); }
  void Register(Control& control) { controls_.push_back(&control); }
  void Invalidate(const platform::PixelRect& area);
  void PlaceWindow();
  // Takes the size of the client area a host gives; whether it changed.
  bool TakeHostArea(const platform::PixelRect& area);
  // Drops the native controls, then the window.
  void DropWindow();
  platform::PixelRect BoundsInPixels() const;
  // Whether (x, y) lies on the form's own surface rather than on a visible label.
  bool IsOnSurface(int x, int y) const;

  platform::Backend& backend_;
  Application app_;
  FormDesign design_;
  Twips left_ = 0;
  Twips top_ = 0;
  std::unique_ptr<platform::NativeWindow> window_;
  std::vector<Label*> labels_;      // in creation order, which is also the paint order
  std::vector<Control*> controls_;  // in creation order, which is also the tab order
  // For each mouse button: it went down on the form's own surface and is not up yet.
  std::array<bool, platform::kMouseButtonCount> pressedOnSurface_{};
};

}  // namespace velloway::forms
