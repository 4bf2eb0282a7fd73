#pragma once
// Windows and their events: top-level windows, their child controls, what they paint on, and
// the pointer.
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/color.h"
#include "platform/geometry.h"
#include "platform/text.h"

namespace velloway::platform {

// What a paint routine draws on. Drawing is clipped to the area being painted.
class Canvas {
 public:
  virtual ~Canvas() = default;
  virtual void FillRect(const PixelRect& rect, Color color) = 0;
  // Draws an image of this backend's making with its top-left at (x, y); the pixels of its
  // background colour let what lies beneath show, so that lines that overlap both show.
  virtual void DrawImage(const TextImage& image, int x, int y) = 0;
};

enum class MouseButton { Left, Right, Middle, X1, X2 };
inline constexpr std::size_t kMouseButtonCount = 5;

// What a native window delivers to the form that owns it.
class WindowEvents {
 public:
  virtual ~WindowEvents() = default;
  virtual void OnPaint(Canvas& canvas, const PixelRect& area) = 0;
  // A mouse button went down or up over the window, at client pixels (x, y).
  virtual void OnPointerButtonDown(MouseButton button, int x, int y) = 0;
  virtual void OnPointerButtonUp(MouseButton button, int x, int y) = 0;
  // A key went down while the window had the keyboard: any key, whether it types or not (Shift,
  // the function keys, the arrows, media keys).
  virtual void OnKeyDown() = 0;
  // A window of another program took the activation from this program.
  virtual void OnActivatedElsewhere() = 0;
  // The window was minimised (a borderless one by a request it could not refuse).
  virtual void OnMinimizedBySystem() = 0;
  // The screens changed (their size, number or layout): Screens::Screen() tells the new.
  virtual void OnDisplayChanged() = 0;
  // The system destroyed the window (for instance with its parent); the form is unloaded.
  virtual void OnDestroyedBySystem() = 0;
};

// A window with a fixed border has a minimise box. A borderless window cannot be minimised:
// the backend refuses the requests to minimise it; one the system carries out all the same is
// reported (OnMinimizedBySystem).
enum class BorderStyle { None, FixedSingle };

// What a native child control delivers to the object that owns it.
class ControlEvents {
 public:
  virtual ~ControlEvents() = default;
  virtual void OnControlClick() {}
};

// A drop-down list opens as wide as its longest entry needs, at least as wide as its closed field
// and at most as wide as the screen; a check box turns on and off as the user clicks it or presses
// Space on it; a picture is scaled to fill its control.
enum class ControlKind { DropDownList, PushButton, CheckBox, Picture };

// A child control as the platform makes it. Controls take the keyboard focus in the order they
// are made; the first one has it when its window is shown.
struct ControlProperties {
  ControlKind Kind = ControlKind::PushButton;
  PixelRect Bounds;     // in the parent's client pixels
  std::string Caption;  // a button's or a check box's text; "&" marks its access key
  FontSpec Font;
  Color ForeColor = 0;
  Color BackColor = 0xFFFFFF;
  bool IsDefault = false;  // Enter presses it
  bool IsCancel = false;   // Escape presses it
  std::string Picture;     // a picture's resource name
};

class NativeControl {
 public:
  virtual ~NativeControl() = default;
  // Places the control at `bounds`, in the parent's client pixels.
  virtual void SetBounds(const PixelRect& bounds) = 0;
  virtual void AddItem(std::string_view text) = 0;
  // -1 selects nothing.
  virtual void SetSelectedIndex(int index) = 0;
  // The list's selection as the control holds it now, however it changed (the user, the
  // keyboard or another program): its index, -1 when nothing is selected, and its text.
  virtual int SelectedIndex() const = 0;
  virtual std::string SelectedText() const = 0;
  virtual void SetChecked(bool checked) = 0;
  // A check box's state as the control holds it now, however it changed.
  virtual bool IsChecked() const = 0;
};

struct WindowStyle {
  BorderStyle Border = BorderStyle::FixedSingle;
  bool ShowInTaskbar = true;
  bool InvisiblePointer = false;
};

// A top-level window; destroying the object destroys the window. When the last window of the
// program is gone, the program ends.
class NativeWindow {
 public:
  virtual ~NativeWindow() = default;
  virtual WindowId Id() const = 0;
  virtual void SetCaption(std::string_view caption) = 0;
  // Places the window so that its client area covers `client`, in screen pixels.
  virtual void SetBounds(const PixelRect& client) = 0;
  // Puts the window above all other windows, where it stays, without moving, sizing or
  // activating it.
  virtual void KeepAboveOthers() = 0;
  // Makes the window a child of host that covers host's client area, the whole window from its
  // corner; returns the window's client area then ({0, 0, width, height}).
  virtual PixelRect EmbedIn(WindowId host) = 0;
  // An embedded window covers its host's client area again, as it is now (a pane may change
  // size, or a size asked of the system may not have been taken); returns the window's client
  // area then.
  virtual PixelRect FillHost() = 0;
  // The whole window, frame included, around a client area at `client`.
  virtual PixelRect OuterBounds(const PixelRect& client) const = 0;
  virtual void Show() = 0;
  // Marks part of the client area for repainting.
  virtual void Invalidate(const PixelRect& area) = 0;
  // Null when the control cannot be made: the form goes on without it.
  virtual std::unique_ptr<NativeControl> CreateControl(const ControlProperties& properties,
                                                       ControlEvents& events) = 0;
};

// Makes the program's windows and reads the pointer.
class WindowSystem {
 public:
  virtual ~WindowSystem() = default;
  // Null when the window cannot be made: its form stays unloaded.
  virtual std::unique_ptr<NativeWindow> CreateNativeWindow(WindowEvents& events,
                                                           const WindowStyle& style,
                                                           std::string_view caption) = 0;
  // Where the pointer is; nothing when it cannot be read.
  virtual std::optional<PixelPoint> PointerPosition() = 0;
};

}  // namespace velloway::platform
