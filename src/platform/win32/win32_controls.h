#pragma once
// The native child controls of a form: a drop-down list, push buttons, check boxes and a still
// picture.
#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "platform/win32/win32_handles.h"
#include "platform/window_system.h"

namespace velloway::win32 {

class FontCache;

// One child control. Its window procedure is the system's; the form's window hands it the
// notifications (WM_COMMAND), drawing requests (WM_DRAWITEM) and colour requests (WM_CTLCOLOR*)
// that concern it.
class Win32Control final : public platform::NativeControl {
 public:
  // The control; null when the system does not make it (the reason goes to the debugger output).
  static std::unique_ptr<Win32Control> Make(HWND parent, HINSTANCE instance, int id,
                                            const platform::ControlProperties& properties,
                                            platform::ControlEvents& events, FontCache& fonts);
  ~Win32Control() override;
  Win32Control(const Win32Control&) = delete;
  Win32Control& operator=(const Win32Control&) = delete;

  void SetBounds(const platform::PixelRect& bounds) override;
  void AddItem(std::string_view text) override;
  void SetSelectedIndex(int index) override;
  int SelectedIndex() const override;
  std::string SelectedText() const override;
  void SetChecked(bool checked) override;
  bool IsChecked() const override;

  // The control object behind one of our child windows, or null.
  static Win32Control* Of(HWND child);
  void OnCommand(WORD notification);
  // Draws a picture, scaled smoothly to fill the control.
  void Draw(const DRAWITEMSTRUCT& item) const;
  // The brush for WM_CTLCOLOR*, with the text and background colours set on dc.
  HBRUSH Colours(HDC dc) const;

 private:
  // Leaves window_ empty when the system does not make the control.
  Win32Control(HWND parent, HINSTANCE instance, int id,
               const platform::ControlProperties& properties, platform::ControlEvents& events,
               FontCache& fonts);
  // Makes the opened list as wide as its longest entry needs, within the field's and the
  // screen's widths.
  void FitOpenedList();

  platform::ControlKind kind_;
  platform::ControlEvents& events_;
  FontCache& fonts_;
  platform::FontSpec font_;
  int widestItem_ = 0;  // pixels
  COLORREF foreColor_;
  COLORREF backColor_;
  GdiObject<HBRUSH> backBrush_;
  GdiObject<HBITMAP> picture_;
  UniqueWindow window_;
};

}  // namespace velloway::win32
