#pragma once
// The native child controls of a form: a drop-down list, push buttons and a still picture.
#include <windows.h>

#include <string_view>

#include "platform/backend.h"
#include "platform/win32/win32_handles.h"

namespace velloway::win32 {

class FontCache;

// One child control. Its window procedure is the system's; the form's window hands it the
// notifications (WM_COMMAND) and colour requests (WM_CTLCOLOR*) that concern it.
class Win32Control final : public forms::NativeControl {
 public:
  Win32Control(HWND parent, HINSTANCE instance, int id, const forms::ControlProperties& properties,
               forms::ControlEvents& events, FontCache& fonts);
  ~Win32Control() override;
  Win32Control(const Win32Control&) = delete;
  Win32Control& operator=(const Win32Control&) = delete;

  void AddItem(std::string_view text) override;
  void SetSelectedIndex(int index) override;

  // The control object behind one of our child windows, or null.
  static Win32Control* Of(HWND child);
  HWND Handle() const { return window_.get(); }
  int Id() const { return id_; }
  void OnCommand(WORD notification);
  // The brush for WM_CTLCOLOR*, with the text and background colours set on dc.
  HBRUSH Colours(HDC dc) const;

 private:
  int id_;
  forms::ControlKind kind_;
  forms::ControlEvents& events_;
  COLORREF foreColor_;
  COLORREF backColor_;
  GdiObject<HBRUSH> backBrush_;
  GdiObject<HBITMAP> picture_;
  UniqueWindow window_;
};

}  // namespace velloway::win32
