#include <windows.h>

#include "platform/win32/win32_controls.h"

#include <commctrl.h>

#include "platform/wide_text.h"
#include "platform/win32/gdi_canvas.h"

namespace velloway::win32 {
namespace {

// A drop-down list's window also holds its open list: room for this many entries.
constexpr int kVisibleListEntries = 8;

DWORD ControlStyle(const forms::ControlProperties& properties) {
  switch (properties.Kind) {
    case forms::ControlKind::DropDownList:
      return CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
    case forms::ControlKind::PushButton:
      return (properties.IsDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP;
    case forms::ControlKind::Picture:
      return SS_BITMAP;
  }
  return 0;
}

const wchar_t* ControlClass(forms::ControlKind kind) {
  switch (kind) {
    case forms::ControlKind::DropDownList:
      return WC_COMBOBOXW;
    case forms::ControlKind::PushButton:
      return WC_BUTTONW;
    case forms::ControlKind::Picture:
      return WC_STATICW;
  }
  return WC_STATICW;
}

}  // namespace

Win32Control::Win32Control(HWND parent, HINSTANCE instance, int id,
                           const forms::ControlProperties& properties, forms::ControlEvents& events,
                           FontCache& fonts)
    : id_(id),
      kind_(properties.Kind),
      events_(events),
      foreColor_(ToColorRef(properties.ForeColor)),
      backColor_(ToColorRef(properties.BackColor)),
      backBrush_(CreateSolidBrush(backColor_)) {
  const forms::PixelRect& r = properties.Bounds;
  const int height = properties.Kind == forms::ControlKind::DropDownList
                         ? r.Height() * (kVisibleListEntries + 1)
                         : r.Height();
  const std::wstring caption = platform::Utf8ToWide(properties.Caption);
  window_.reset(CreateWindowExW(
      0, ControlClass(properties.Kind), caption.c_str(),
      WS_CHILD | WS_VISIBLE | ControlStyle(properties), r.Left, r.Top, r.Width(), height, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr));
  if (!window_) return;
  // The form finds the control object behind a child window through this slot.
  SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SendMessageW(window_.get(), WM_SETFONT, reinterpret_cast<WPARAM>(fonts.Get(properties.Font)),
               FALSE);
  if (properties.Kind == forms::ControlKind::Picture && !properties.Picture.empty()) {
    const std::wstring name = platform::Utf8ToWide(properties.Picture);
    picture_.reset(static_cast<HBITMAP>(
        LoadImageW(instance, name.c_str(), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
    SendMessageW(window_.get(), STM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(picture_.get()));
  }
}

Win32Control::~Win32Control() {
  if (window_) SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
}

Win32Control* Win32Control::Of(HWND child) {
  return child == nullptr
             ? nullptr
             : reinterpret_cast<Win32Control*>(GetWindowLongPtrW(child, GWLP_USERDATA));
}

void Win32Control::AddItem(std::string_view text) {
  const std::wstring item = platform::Utf8ToWide(text);
  SendMessageW(window_.get(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

void Win32Control::SetSelectedIndex(int index) {
  SendMessageW(window_.get(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void Win32Control::OnCommand(WORD notification) {
  if (kind_ == forms::ControlKind::PushButton && notification == BN_CLICKED) {
    events_.OnControlClick();
  } else if (kind_ == forms::ControlKind::DropDownList && notification == CBN_SELCHANGE) {
    events_.OnSelectionChanged(static_cast<int>(SendMessageW(window_.get(), CB_GETCURSEL, 0, 0)));
  }
}

HBRUSH Win32Control::Colours(HDC dc) const {
  SetTextColor(dc, foreColor_);
  SetBkColor(dc, backColor_);
  return backBrush_.get();
}

}  // namespace velloway::win32
