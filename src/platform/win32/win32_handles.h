#pragma once
// Owners for the Win32 handles and GDI objects the backend makes: each is released exactly once,
// and a selection into a DC is undone before the selected object can go away.
#include <windows.h>

#include <memory>
#include <type_traits>
#include <utility>

namespace velloway::win32 {

struct HandleDeleter {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
// A kernel object's handle: a file's (never INVALID_HANDLE_VALUE), a mutex's.
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleDeleter>;

struct SearchDeleter {
  void operator()(HANDLE search) const { FindClose(search); }
};
// A file search's handle (FindFirstFileW; never INVALID_HANDLE_VALUE).
using UniqueSearch = std::unique_ptr<std::remove_pointer_t<HANDLE>, SearchDeleter>;

struct GdiObjectDeleter {
  void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
template <typename Handle>
using GdiObject = std::unique_ptr<std::remove_pointer_t<Handle>, GdiObjectDeleter>;
using UniqueFont = GdiObject<HFONT>;
using UniqueBitmap = GdiObject<HBITMAP>;
using UniqueRegion = GdiObject<HRGN>;

struct DcDeleter {
  void operator()(HDC dc) const { DeleteDC(dc); }
};
// A DC of our own making (CreateCompatibleDC).
using UniqueDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;

struct EnhMetaFileDeleter {
  void operator()(HENHMETAFILE file) const { DeleteEnhMetaFile(file); }
};
// A recorded enhanced metafile (CloseEnhMetaFile).
using UniqueEnhMetaFile = std::unique_ptr<std::remove_pointer_t<HENHMETAFILE>, EnhMetaFileDeleter>;

struct MetafileDcDeleter {
  void operator()(HDC dc) const { DeleteEnhMetaFile(CloseEnhMetaFile(dc)); }
};
// A DC recording an enhanced metafile (CreateEnhMetaFileW); its recording is finished with
// CloseEnhMetaFile(dc.release()), or closed and dropped when it goes unfinished.
using UniqueMetafileDc = std::unique_ptr<std::remove_pointer_t<HDC>, MetafileDcDeleter>;

struct WindowDeleter {
  void operator()(HWND window) const { DestroyWindow(window); }
};
using UniqueWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDeleter>;

struct CursorDeleter {
  void operator()(HCURSOR cursor) const { DestroyCursor(cursor); }
};
using UniqueCursor = std::unique_ptr<std::remove_pointer_t<HCURSOR>, CursorDeleter>;

struct KeyDeleter {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyDeleter>;

struct ModuleDeleter {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};
using UniqueModule = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleDeleter>;

// Selects an object into a DC and, when it goes, puts the previously selected object back.
class SelectGuard {
 public:
  SelectGuard() = default;
  SelectGuard(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~SelectGuard() { Restore(); }
  SelectGuard(SelectGuard&& other) noexcept
      : dc_(std::exchange(other.dc_, nullptr)),
        previous_(std::exchange(other.previous_, nullptr)) {}
  SelectGuard& operator=(SelectGuard&& other) noexcept {
    if (this != &other) {
      Restore();
      dc_ = std::exchange(other.dc_, nullptr);
      previous_ = std::exchange(other.previous_, nullptr);
    }
    return *this;
  }
  SelectGuard(const SelectGuard&) = delete;
  SelectGuard& operator=(const SelectGuard&) = delete;

 private:
  void Restore() {
    if (dc_ != nullptr && previous_ != nullptr && previous_ != HGDI_ERROR) {
      SelectObject(dc_, previous_);
    }
    dc_ = nullptr;
    previous_ = nullptr;
  }

  HDC dc_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

// The whole screen's DC, borrowed for a scope.
class ScreenDc {
 public:
  ScreenDc() : dc_(GetDC(nullptr)) {}
  ~ScreenDc() {
    if (dc_ != nullptr) ReleaseDC(nullptr, dc_);
  }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HDC dc_;
};

// BeginPaint and EndPaint around a WM_PAINT's drawing.
class PaintScope {
 public:
  explicit PaintScope(HWND window) : window_(window) { dc_ = BeginPaint(window_, &paint_); }
  ~PaintScope() { EndPaint(window_, &paint_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC Dc() const { return dc_; }
  const RECT& Area() const { return paint_.rcPaint; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_ = nullptr;
};

}  // namespace velloway::win32
