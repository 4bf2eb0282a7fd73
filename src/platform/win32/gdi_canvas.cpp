#include <windows.h>

#include "platform/win32/gdi_canvas.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <string>

#include "platform/wide_text.h"

namespace velloway::win32 {
namespace {

// Enough for every font a roll uses; clearing it now and then bounds the handles a strange
// script can make.
constexpr std::size_t kMaxCachedFonts = 256;

RECT ToRect(const forms::PixelRect& rect) {
  return RECT{rect.Left, rect.Top, rect.Right, rect.Bottom};
}

UniqueFont MakeFont(const forms::FontSpec& font, int dpiY) {
  LOGFONTW logFont{};
  logFont.lfHeight = -static_cast<LONG>(
      std::lround(static_cast<double>(font.Size) * static_cast<double>(dpiY) / 72.0));
  logFont.lfWeight = font.Bold ? FW_BOLD : FW_NORMAL;
  logFont.lfItalic = font.Italic ? TRUE : FALSE;
  logFont.lfCharSet = static_cast<BYTE>(font.Charset);
  logFont.lfOutPrecision = OUT_DEFAULT_PRECIS;
  logFont.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  logFont.lfQuality = ANTIALIASED_QUALITY;
  logFont.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  const std::wstring face = platform::Utf8ToWide(font.Name);
  const std::size_t length = std::min<std::size_t>(face.size(), LF_FACESIZE - 1);
  std::copy_n(face.data(), length, logFont.lfFaceName);
  return UniqueFont(CreateFontIndirectW(&logFont));
}

}  // namespace

COLORREF ToColorRef(Color color) {
  const auto value = static_cast<std::uint32_t>(color);
  if ((value & 0xFF000000u) == 0x80000000u) return GetSysColor(static_cast<int>(value & 0xFFu));
  return value & 0x00FFFFFFu;
}

std::size_t FontSpecHash::operator()(const forms::FontSpec& font) const {
  std::size_t hash = std::hash<std::string>{}(font.Name);
  const auto mix = [&hash](std::size_t value) {
    hash ^= value + 0x9E3779B97F4A7C15ull + (hash << 6) + (hash >> 2);
  };
  mix(std::bit_cast<std::uint32_t>(font.Size));
  mix(static_cast<std::size_t>(font.Bold) | (static_cast<std::size_t>(font.Italic) << 1));
  mix(static_cast<std::size_t>(font.Charset));
  return hash;
}

FontCache::FontCache(int dpiY) : dpiY_(dpiY), measureDc_(CreateCompatibleDC(nullptr)) {}

HFONT FontCache::Get(const forms::FontSpec& font) {
  auto found = fonts_.find(font);
  if (found == fonts_.end()) {
    if (fonts_.size() >= kMaxCachedFonts) fonts_.clear();
    auto cached = std::make_unique<CachedFont>();
    cached->font = MakeFont(font, dpiY_);
    if (cached->font && cached->pin.Reserve(1, 1)) {
      cached->pinned = SelectGuard(cached->pin.Dc(), cached->font.get());
    }
    found = fonts_.emplace(font, std::move(cached)).first;
  }
  if (found->second->font) return found->second->font.get();
  return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

forms::TextExtent FontCache::Measure(const forms::FontSpec& font, std::string_view text) {
  HDC dc = measureDc_.get();
  if (dc == nullptr) return {};
  const SelectGuard selected(dc, Get(font));
  if (text.empty()) {
    TEXTMETRICW metrics{};
    if (!GetTextMetricsW(dc, &metrics)) return {};
    return {0, static_cast<int>(metrics.tmHeight)};
  }
  const std::wstring wide = platform::Utf8ToWide(text);
  SIZE size{};
  if (!GetTextExtentPoint32W(dc, wide.data(), static_cast<int>(wide.size()), &size)) return {};
  return {static_cast<int>(size.cx), static_cast<int>(size.cy)};
}

void GdiCanvas::FillRect(const forms::PixelRect& rect, Color color) {
  if (rect.IsEmpty()) return;
  // The DC's own brush: no brush object is made per fill.
  SetDCBrushColor(dc_, ToColorRef(color));
  const RECT area = ToRect(rect);
  ::FillRect(dc_, &area, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void GdiCanvas::DrawText(const forms::FontSpec& font, std::string_view text, int x, int y,
                         Color color) {
  if (text.empty()) return;
  const std::wstring wide = platform::Utf8ToWide(text);
  const SelectGuard selected(dc_, fonts_.Get(font));
  SetBkMode(dc_, TRANSPARENT);
  SetTextColor(dc_, ToColorRef(color));
  SetTextAlign(dc_, TA_TOP | TA_LEFT | TA_NOUPDATECP);
  TextOutW(dc_, x, y, wide.data(), static_cast<int>(wide.size()));
}

bool Surface::Reserve(int width, int height) {
  if (width <= width_ && height <= height_ && bitmap_) return true;
  if (!dc_) dc_.reset(CreateCompatibleDC(nullptr));
  if (!dc_) return false;
  const int newWidth = std::max({width, width_, 1});
  const int newHeight = std::max({height, height_, 1});
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = newWidth;
  info.bmiHeader.biHeight = -newHeight;  // top-down: row 0 is the top
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  UniqueBitmap bitmap(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap) return false;
  selection_ = SelectGuard();  // the old bitmap leaves the DC before it is deleted
  bitmap_ = std::move(bitmap);
  selection_ = SelectGuard(dc_.get(), bitmap_.get());
  bits_ = static_cast<const std::uint32_t*>(bits);
  width_ = newWidth;
  height_ = newHeight;
  return true;
}

Color Surface::Pixel(int x, int y) const {
  if (bits_ == nullptr || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  GdiFlush();
  const std::uint32_t bgr = bits_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                                  static_cast<std::size_t>(x)];
  // The DIB holds 0x00RRGGBB; a colour value is 0x00BBGGRR.
  const std::uint32_t red = (bgr >> 16) & 0xFFu;
  const std::uint32_t green = (bgr >> 8) & 0xFFu;
  const std::uint32_t blue = bgr & 0xFFu;
  return static_cast<Color>(red | (green << 8) | (blue << 16));
}

void PaintThrough(Surface& buffer, FontCache& fonts, HDC target, const forms::PixelRect& area,
                  const PaintRoutine& paint) {
  if (area.IsEmpty() || !buffer.Reserve(area.Width(), area.Height())) return;
  HDC dc = buffer.Dc();
  // Drawing uses target coordinates; the viewport maps the area's corner to the buffer's.
  SetViewportOrgEx(dc, -area.Left, -area.Top, nullptr);
  SelectClipRgn(dc, nullptr);
  IntersectClipRect(dc, area.Left, area.Top, area.Right, area.Bottom);
  GdiCanvas canvas(dc, fonts);
  paint(canvas, area);
  SelectClipRgn(dc, nullptr);
  SetViewportOrgEx(dc, 0, 0, nullptr);
  BitBlt(target, area.Left, area.Top, area.Width(), area.Height(), dc, 0, 0, SRCCOPY);
}

}  // namespace velloway::win32
