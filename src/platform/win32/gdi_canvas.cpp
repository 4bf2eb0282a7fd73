#include <windows.h>

#include "platform/win32/gdi_canvas.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "platform/wide_text.h"
#include "platform/win32/shaped_line.h"

namespace velloway::win32 {
namespace {

// Enough for every font a roll uses; clearing it now and then bounds the handles a strange
// script can make.
constexpr std::size_t kMaxCachedFonts = 256;

RECT ToRect(const forms::PixelRect& rect) {
  return RECT{rect.Left, rect.Top, rect.Right, rect.Bottom};
}

// The GDI character set that gives a font's text what it needs.
BYTE CharacterSet(forms::FontLanguage language) {
  switch (language) {
    case forms::FontLanguage::Western:
      return ANSI_CHARSET;
    case forms::FontLanguage::Japanese:
      return SHIFTJIS_CHARSET;
    case forms::FontLanguage::Any:
      break;
  }
  return DEFAULT_CHARSET;
}

UniqueFont MakeFont(const forms::FontSpec& font, int dpiY) {
  LOGFONTW logFont{};
  logFont.lfHeight = -static_cast<LONG>(
      std::lround(static_cast<double>(font.Size) * static_cast<double>(dpiY) / 72.0));
  logFont.lfWeight = font.Bold ? FW_BOLD : FW_NORMAL;
  logFont.lfItalic = font.Italic ? TRUE : FALSE;
  logFont.lfCharSet = CharacterSet(font.Language);
  logFont.lfOutPrecision = OUT_DEFAULT_PRECIS;
  logFont.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  logFont.lfQuality = ANTIALIASED_QUALITY;
  logFont.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  const std::wstring face = platform::Utf8ToWide(font.Name);
  const std::size_t length = std::min<std::size_t>(face.size(), LF_FACESIZE - 1);
  std::copy_n(face.data(), length, logFont.lfFaceName);
  return UniqueFont(CreateFontIndirectW(&logFont));
}

void FillWith(HDC dc, const forms::PixelRect& rect, Color color) {
  if (rect.IsEmpty()) return;
  // The DC's own brush: no brush object is made per fill.
  SetDCBrushColor(dc, ToColorRef(color));
  const RECT area = ToRect(rect);
  ::FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

// A colour as a 32-bit DIB holds it: 0x00RRGGBB.
std::uint32_t DibPixel(Color color) {
  const COLORREF value = ToColorRef(color);
  return (std::uint32_t{GetRValue(value)} << 16) | (std::uint32_t{GetGValue(value)} << 8) |
         std::uint32_t{GetBValue(value)};
}

// A 32-bit top-down DIB section of width x height and its pixels; null when it cannot be made.
std::pair<UniqueBitmap, std::uint32_t*> MakeDib(HDC dc, int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down: row 0 is the top
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  UniqueBitmap bitmap(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap) return {};
  return {std::move(bitmap), static_cast<std::uint32_t*>(bits)};
}

// Draws the span of the line into the bitmap selected into dc, over what is there: from the
// span's left edge, with the baseline at the line's ascent in the DC's logical coordinates.
void DrawSpan(HDC dc, const ShapedLine& line, forms::TextImageSpan span, Color color) {
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ToColorRef(color));
  // On one baseline: a fallback face for some of the letters, taller or shorter than the
  // font, keeps to the same line.
  SetTextAlign(dc, TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
  // Only the span's part lands in the bitmap: what lies beyond it is clipped away.
  line.Draw(-span.Skip, line.Ascent(), span.Width);
  GdiFlush();
}

// A phase's line is drawn this many times as tall: GDI sets text at whole pixels only, and at
// this height a phase is a whole number of rows.
constexpr int kTallRows = forms::kSubpixelSteps;
static_assert(kTallRows == 16, "AverageRows divides by 16 with a shift");

// The world transform that draws text kTallRows times as tall, `down` tall rows lower.
XFORM Stretch(int down) {
  return XFORM{1, 0, 0, static_cast<FLOAT>(kTallRows), 0, static_cast<FLOAT>(down)};
}

// The rows of a phase's image drawn tall at a time: the band of them stays small enough to be
// kept (under 2 MB at 3840 pixels wide) and for its pixels to stay in the cache between drawing
// and averaging them.
constexpr int kBandRows = 8;

// Each of `rows` rows of `into` (width pixels a row) the mean, channel by channel and rounded,
// of the kTallRows rows of the band it covers. Red and blue are summed side by side in one word,
// green in another: sixteen sums of a byte fit each lane.
void AverageRows(const Surface& band, int rows, int width, std::uint32_t* into) {
  const auto columns = static_cast<std::size_t>(width);
  std::vector<std::uint32_t> redBlue(columns);
  std::vector<std::uint32_t> green(columns);
  for (int row = 0; row < rows; ++row) {
    std::fill(redBlue.begin(), redBlue.end(), 0u);
    std::fill(green.begin(), green.end(), 0u);
    for (int part = 0; part < kTallRows; ++part) {
      const std::uint32_t* from = band.Row(row * kTallRows + part);
      for (std::size_t x = 0; x < columns; ++x) {
        redBlue[x] += from[x] & 0x00FF00FFu;
        green[x] += from[x] & 0x0000FF00u;
      }
    }
    std::uint32_t* to = into + static_cast<std::size_t>(row) * columns;
    for (std::size_t x = 0; x < columns; ++x) {
      to[x] = (((redBlue[x] + 0x00080008u) >> 4) & 0x00FF00FFu) |
              (((green[x] + 0x00000800u) >> 4) & 0x0000FF00u);
    }
  }
}

// Keeps a DC in the advanced graphics mode while it lives, then back to the identity transform
// and the compatible mode: the band's DC is left as it was found.
class StretchedDc {
 public:
  explicit StretchedDc(HDC dc) : dc_(dc) { SetGraphicsMode(dc_, GM_ADVANCED); }
  ~StretchedDc() {
    ModifyWorldTransform(dc_, nullptr, MWT_IDENTITY);
    SetGraphicsMode(dc_, GM_COMPATIBLE);
  }
  StretchedDc(const StretchedDc&) = delete;
  StretchedDc& operator=(const StretchedDc&) = delete;

 private:
  HDC dc_;
};

// Draws the span of the line span.Phase sixteenths of a pixel low into `into` (span.Width x
// height pixels), by GDI itself rather than by moving the still line's pixels: band by band, the
// line is drawn kTallRows times as tall into the band's DC (the DC it was shaped on), the phase
// a whole number of rows there, and each row of `into` is the mean of the rows it covers.
void DrawBetweenPixels(Surface& band, const ShapedLine& line, forms::TextImageSpan span,
                       Color color, std::uint32_t background, std::uint32_t* into, int height) {
  HDC dc = band.Dc();
  const StretchedDc stretched(dc);
  const auto width = static_cast<std::size_t>(span.Width);
  for (int top = 0; top < height; top += kBandRows) {
    const int rows = std::min(kBandRows, height - top);
    for (int row = 0; row < rows * kTallRows; ++row) std::fill_n(band.Row(row), width, background);
    const XFORM stretch = Stretch(span.Phase - top * kTallRows);
    SetWorldTransform(dc, &stretch);
    DrawSpan(dc, line, span, color);
    AverageRows(band, rows, span.Width, into + static_cast<std::size_t>(top) * width);
  }
}

}  // namespace

COLORREF ToColorRef(Color color) {
  const auto value = static_cast<std::uint32_t>(color);
  if ((value & 0xFF000000u) == 0x80000000u) return GetSysColor(static_cast<int>(value & 0xFFu));
  return value & 0x00FFFFFFu;
}

FontCache::FontCache(int dpiY) : dpiY_(dpiY), measureDc_(CreateCompatibleDC(nullptr)) {}

FontCache::CachedFont& FontCache::Cached(const forms::FontSpec& font) {
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
  return *found->second;
}

HFONT FontCache::Get(const forms::FontSpec& font) {
  const CachedFont& cached = Cached(font);
  if (cached.font) return cached.font.get();
  return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

HFONT FontCache::GetForBand(const forms::FontSpec& font) {
  CachedFont& cached = Cached(font);
  if (cached.font && !cached.tallPin.Dc() && cached.tallPin.Reserve(1, 1)) {
    HDC dc = cached.tallPin.Dc();
    SetGraphicsMode(dc, GM_ADVANCED);
    const XFORM stretch = Stretch(0);
    SetWorldTransform(dc, &stretch);
    cached.tallPinned = SelectGuard(dc, cached.font.get());
  }
  return Get(font);
}

forms::TextExtent FontCache::Measure(const forms::FontSpec& font, std::string_view text) {
  HDC dc = measureDc_.get();
  if (dc == nullptr) return {};
  const SelectGuard selected(dc, Get(font));
  const std::wstring wide = platform::Utf8ToWide(text);
  const ShapedLine line(dc, wide);
  return {line.Width(), line.Height()};
}

void GdiCanvas::FillRect(const forms::PixelRect& rect, Color color) {
  FillWith(surface_.Dc(), rect, color);
}

void GdiCanvas::DrawImage(const forms::TextImage& image, int x, int y) {
  // This backend's canvases only ever get this backend's images.
  const auto& text = static_cast<const GdiTextImage&>(image);
  const forms::PixelRect shown =
      forms::PixelRect{x, y, x + text.Width(), y + text.Height()}.Intersect(area_);
  if (shown.IsEmpty()) return;
  GdiFlush();  // what GDI drew here before lands in the pixels first
  const std::uint32_t background = text.Background();
  const auto width = static_cast<std::size_t>(shown.Width());
  for (int row = shown.Top; row < shown.Bottom; ++row) {
    const std::uint32_t* from = text.Row(row - y) + (shown.Left - x);
    std::uint32_t* to = surface_.Row(row - area_.Top) + (shown.Left - area_.Left);
    for (std::size_t i = 0; i < width; ++i) {
      if ((from[i] & 0xFFFFFFu) != background) to[i] = from[i];
    }
  }
}

std::unique_ptr<GdiTextImage> GdiTextImage::Draw(FontCache& fonts, const forms::FontSpec& font,
                                                 std::string_view text, forms::TextImageSpan span,
                                                 Color color, Color background) {
  if (span.Phase > 0) return DrawLowered(fonts, font, text, span, color, background);
  const UniqueDc dc(CreateCompatibleDC(nullptr));
  if (!dc) return nullptr;
  const SelectGuard fontSelected(dc.get(), fonts.Get(font));
  const std::wstring wide = platform::Utf8ToWide(text);
  const ShapedLine line(dc.get(), wide);
  const int height = line.Height();
  if (span.Width <= 0 || height <= 0) return nullptr;
  auto [bitmap, bits] = MakeDib(dc.get(), span.Width, height);
  if (!bitmap) return nullptr;
  {
    const SelectGuard selected(dc.get(), bitmap.get());
    FillWith(dc.get(), {0, 0, span.Width, height}, background);
    DrawSpan(dc.get(), line, span, color);
  }
  return std::unique_ptr<GdiTextImage>(
      new GdiTextImage(std::move(bitmap), bits, span.Width, height, DibPixel(background)));
}

std::unique_ptr<GdiTextImage> GdiTextImage::DrawLowered(FontCache& fonts,
                                                        const forms::FontSpec& font,
                                                        std::string_view text,
                                                        forms::TextImageSpan span, Color color,
                                                        Color background) {
  Surface& band = fonts.Band();
  if (span.Width <= 0 || !band.Reserve(span.Width, kBandRows * kTallRows)) return nullptr;
  // Shaped on the DC it is drawn on, before that DC is stretched: laid out as at rest.
  const SelectGuard fontSelected(band.Dc(), fonts.GetForBand(font));
  const std::wstring wide = platform::Utf8ToWide(text);
  const ShapedLine line(band.Dc(), wide);
  if (line.Height() <= 0) return nullptr;
  // The line drawn lower keeps its lowest ink in a row of its own.
  const int height = line.Height() + 1;
  auto [bitmap, bits] = MakeDib(band.Dc(), span.Width, height);
  if (!bitmap) return nullptr;
  const std::uint32_t backgroundPixel = DibPixel(background);
  DrawBetweenPixels(band, line, span, color, backgroundPixel, bits, height);
  return std::unique_ptr<GdiTextImage>(
      new GdiTextImage(std::move(bitmap), bits, span.Width, height, backgroundPixel));
}

bool Surface::Reserve(int width, int height) {
  if (width <= width_ && height <= height_ && bitmap_) return true;
  if (!dc_) dc_.reset(CreateCompatibleDC(nullptr));
  if (!dc_) return false;
  const int newWidth = std::max({width, width_, 1});
  const int newHeight = std::max({height, height_, 1});
  auto [bitmap, bits] = MakeDib(dc_.get(), newWidth, newHeight);
  if (!bitmap) return false;
  selection_ = SelectGuard();  // the old bitmap leaves the DC before it is deleted
  bitmap_ = std::move(bitmap);
  selection_ = SelectGuard(dc_.get(), bitmap_.get());
  bits_ = bits;
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

void PaintThrough(Surface& buffer, HDC target, const forms::PixelRect& area,
                  const PaintRoutine& paint) {
  if (area.IsEmpty() || !buffer.Reserve(area.Width(), area.Height())) return;
  HDC dc = buffer.Dc();
  // Drawing uses target coordinates; the viewport maps the area's corner to the buffer's.
  SetViewportOrgEx(dc, -area.Left, -area.Top, nullptr);
  SelectClipRgn(dc, nullptr);
  IntersectClipRect(dc, area.Left, area.Top, area.Right, area.Bottom);
  GdiCanvas canvas(buffer, area);
  paint(canvas, area);
  SelectClipRgn(dc, nullptr);
  SetViewportOrgEx(dc, 0, 0, nullptr);
  BitBlt(target, area.Left, area.Top, area.Width(), area.Height(), dc, 0, 0, SRCCOPY);
}

}  // namespace velloway::win32
