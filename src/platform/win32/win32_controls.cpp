#include <windows.h>

#include "platform/win32/win32_controls.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <algorithm>

#include "platform/wide_text.h"
#include "platform/win32/debug_output.h"
#include "platform/win32/gdi_canvas.h"

namespace velloway::win32 {
namespace {

// A drop-down list's window also holds its open list: room for this many entries.
constexpr int kVisibleListEntries = 8;

DWORD ControlStyle(const platform::ControlProperties& properties) {
  switch (properties.Kind) {
    case platform::ControlKind::DropDownList:
      return CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
    case platform::ControlKind::PushButton:
      return (properties.IsDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP;
    case platform::ControlKind::CheckBox:
      return BS_AUTOCHECKBOX | WS_TABSTOP;
    case platform::ControlKind::Picture:
      return SS_OWNERDRAW;  // drawn scaled by Draw
  }
  return 0;
}

const wchar_t* ControlClass(platform::ControlKind kind) {
  switch (kind) {
    case platform::ControlKind::DropDownList:
      return WC_COMBOBOXW;
    case platform::ControlKind::PushButton:
    case platform::ControlKind::CheckBox:
      return WC_BUTTONW;
    case platform::ControlKind::Picture:
      return WC_STATICW;
  }
  return WC_STATICW;
}

// The height of the control's window for a control `height` pixels high.
int WindowHeight(platform::ControlKind kind, int height) {
  return kind == platform::ControlKind::DropDownList ? height * (kVisibleListEntries + 1) : height;
}

}  // namespace

std::unique_ptr<Win32Control> Win32Control::Make(HWND parent, HINSTANCE instance, int id,
                                                 const platform::ControlProperties& properties,
                                                 platform::ControlEvents& events,
                                                 FontCache& fonts) {
  std::unique_ptr<Win32Control> control(
      new Win32Control(parent, instance, id, properties, events, fonts));
  if (!control->window_) return nullptr;
  return control;
}

Win32Control::Win32Control(HWND parent, HINSTANCE instance, int id,
                           const platform::ControlProperties& properties,
                           platform::ControlEvents& events, FontCache& fonts)
    : kind_(properties.Kind),
      events_(events),
      fonts_(fonts),
      font_(properties.Font),
      foreColor_(ToColorRef(properties.ForeColor)),
      backColor_(ToColorRef(properties.BackColor)),
      backBrush_(CreateSolidBrush(backColor_)) {
  const platform::PixelRect& r = properties.Bounds;
  const std::wstring caption = platform::Utf8ToWide(properties.Caption);
  window_.reset(CreateWindowExW(
      0, ControlClass(kind_), caption.c_str(), WS_CHILD | WS_VISIBLE | ControlStyle(properties),
      r.Left, r.Top, r.Width(), WindowHeight(kind_, r.Height()), parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr));
  if (!window_) {
    const DWORD error = GetLastError();
    ReportFailure(L"the control \"" + caption + L"\" cannot be made", error);
    return;
  }
  // The form finds the control object behind a child window through this slot.
  SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SendMessageW(window_.get(), WM_SETFONT, reinterpret_cast<WPARAM>(fonts.Get(font_)), FALSE);
  if (kind_ == platform::ControlKind::DropDownList || kind_ == platform::ControlKind::CheckBox) {
    // A themed list or check box may draw in the theme's colours, whatever WM_CTLCOLOR*
    // answers: without a theme it is drawn in the control's own colours.
    SetWindowTheme(window_.get(), L"", L"");
  }
  if (kind_ == platform::ControlKind::Picture && !properties.Picture.empty()) {
    const std::wstring name = platform::Utf8ToWide(properties.Picture);
    picture_.reset(static_cast<HBITMAP>(
        LoadImageW(instance, name.c_str(), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
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

void Win32Control::SetBounds(const platform::PixelRect& bounds) {
  // Without the old bits: a scaled picture is drawn afresh in full.
  SetWindowPos(window_.get(), nullptr, bounds.Left, bounds.Top, bounds.Width(),
               WindowHeight(kind_, bounds.Height()),
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
}

void Win32Control::AddItem(std::string_view text) {
  const std::wstring item = platform::Utf8ToWide(text);
  SendMessageW(window_.get(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
  widestItem_ = std::max(widestItem_, fonts_.Measure(font_, text).Width);
}

void Win32Control::SetSelectedIndex(int index) {
  SendMessageW(window_.get(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int Win32Control::SelectedIndex() const {
  const LRESULT index = SendMessageW(window_.get(), CB_GETCURSEL, 0, 0);
  return index == CB_ERR ? -1 : static_cast<int>(index);
}

std::string Win32Control::SelectedText() const {
  const int index = SelectedIndex();
  if (index < 0) return {};
  const LRESULT length =
      SendMessageW(window_.get(), CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT copied = SendMessageW(window_.get(), CB_GETLBTEXT, static_cast<WPARAM>(index),
                                      reinterpret_cast<LPARAM>(text.data()));
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return platform::WideToUtf8(text);
}

void Win32Control::SetChecked(bool checked) {
  SendMessageW(window_.get(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool Win32Control::IsChecked() const {
  return SendMessageW(window_.get(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32Control::OnCommand(WORD notification) {
  if (kind_ == platform::ControlKind::PushButton && notification == BN_CLICKED) {
    events_.OnControlClick();
  } else if (kind_ == platform::ControlKind::DropDownList && notification == CBN_DROPDOWN) {
    FitOpenedList();  // sent before the list opens, on whichever screen the field is now
  }
}

void Win32Control::FitOpenedList() {
  const HWND field = window_.get();
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  if (!GetComboBoxInfo(field, &info)) return;
  // The list's border, a scroll bar (counted whether it shows or not) and a margin each side.
  RECT frame{0, 0, 0, 0};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(info.hwndList, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(info.hwndList, GWL_EXSTYLE)));
  const int needed = widestItem_ + (frame.right - frame.left) + GetSystemMetrics(SM_CXVSCROLL) +
                     2 * GetSystemMetrics(SM_CXEDGE);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  const int screen = GetMonitorInfoW(MonitorFromWindow(field, MONITOR_DEFAULTTONEAREST), &monitor)
                         ? static_cast<int>(monitor.rcMonitor.right - monitor.rcMonitor.left)
                         : GetSystemMetrics(SM_CXSCREEN);
  RECT closed{};
  GetWindowRect(field, &closed);
  const int width =
      std::max(static_cast<int>(closed.right - closed.left), std::min(needed, screen));
  SendMessageW(field, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(width), 0);
}

void Win32Control::Draw(const DRAWITEMSTRUCT& item) const {
  BITMAP size{};
  if (!picture_ || GetObjectW(picture_.get(), sizeof size, &size) == 0) return;
  const UniqueDc source(CreateCompatibleDC(item.hDC));
  if (!source) return;
  const SelectGuard selected(source.get(), picture_.get());
  const RECT& area = item.rcItem;
  // HALFTONE averages the source pixels each target pixel covers: smooth at any scale.
  const int previousMode = SetStretchBltMode(item.hDC, HALFTONE);
  SetBrushOrgEx(item.hDC, 0, 0, nullptr);  // as HALFTONE requires
  StretchBlt(item.hDC, area.left, area.top, area.right - area.left, area.bottom - area.top,
             source.get(), 0, 0, size.bmWidth, size.bmHeight, SRCCOPY);
  if (previousMode != 0) SetStretchBltMode(item.hDC, previousMode);
}

HBRUSH Win32Control::Colours(HDC dc) const {
  SetTextColor(dc, foreColor_);
  SetBkColor(dc, backColor_);
  return backBrush_.get();
}

}  // namespace velloway::win32
