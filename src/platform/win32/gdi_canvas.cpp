#include <windows.h>

#include "platform/win32/gdi_canvas.h"

#include <algorithm>
#include <array>
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

RECT ToRect(const platform::PixelRect& rect) {
  return RECT{rect.Left, rect.Top, rect.Right, rect.Bottom};
}

// The GDI character set that gives a font's text what it needs.
BYTE CharacterSet(platform::FontLanguage language) {
  switch (language) {
    case platform::FontLanguage::Western:
      return ANSI_CHARSET;
    case platform::FontLanguage::Japanese:
      return SHIFTJIS_CHARSET;
    case platform::FontLanguage::Any:
      break;
  }
  return DEFAULT_CHARSET;
}

UniqueFont MakeFont(const platform::FontSpec& font, int dpiY) {
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

void FillWith(HDC dc, const platform::PixelRect& rect, Color color) {
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
void DrawSpan(HDC dc, const ShapedLine& line, platform::TextImageSpan span, Color color) {
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
constexpr int kTallRows = platform::kSubpixelSteps;
static_assert(kTallRows == 16, "ChannelSums divides by 16 with a shift");

// The world transform that draws text kTallRows times as tall, `down` tall rows lower.
XFORM Stretch(int down) {
  return XFORM{1, 0, 0, static_cast<FLOAT>(kTallRows), 0, static_cast<FLOAT>(down)};
}

// The rows of the phases' images drawn tall at a time: the band of them (with the tall rows the
// lowest phase reaches above them) stays small enough to be kept (under 2 MB at 3840 pixels wide)
// and for its pixels to stay in the cache between drawing and averaging them.
constexpr int kBandRows = 7;
constexpr int kBandTallRows = kBandRows * kTallRows + kTallRows - 1;

// Sums of pixels' channels down a column of rows: red and blue side by side in one word, green
// in another; sixteen sums of a byte fit each lane.
class ChannelSums {
 public:
  explicit ChannelSums(int width)
      : redBlue_(static_cast<std::size_t>(width)), green_(static_cast<std::size_t>(width)) {}
  void Add(const std::uint32_t* row) {
    for (std::size_t x = 0; x < redBlue_.size(); ++x) {
      redBlue_[x] += row[x] & 0x00FF00FFu;
      green_[x] += row[x] & 0x0000FF00u;
    }
  }
  void Subtract(const std::uint32_t* row) {
    for (std::size_t x = 0; x < redBlue_.size(); ++x) {
      redBlue_[x] -= row[x] & 0x00FF00FFu;
      green_[x] -= row[x] & 0x0000FF00u;
    }
  }
  // Each pixel the mean of kTallRows rows, channel by channel and rounded.
  void PutMean(std::uint32_t* to) const {
    for (std::size_t x = 0; x < redBlue_.size(); ++x) {
      to[x] = (((redBlue_[x] + 0x00080008u) >> 4) & 0x00FF00FFu) |
              (((green_[x] + 0x00000800u) >> 4) & 0x0000FF00u);
    }
  }

 private:
  std::vector<std::uint32_t> redBlue_;
  std::vector<std::uint32_t> green_;
};

// The `rows` rows from `top` on of each phase's image that `into` names (null: not drawn), from
// the band, whose first kTallRows - 1 rows lie above row `top`: each row the mean of the band
// rows PhaseRowFrom names, all phases made in one pass down the band.
void AverageBand(const Surface& band, int rows, int width,
                 const std::array<std::uint32_t*, platform::kSubpixelSteps>& into, int top) {
  ChannelSums sums(width);
  for (int row = 0; row < kTallRows - 1; ++row) sums.Add(band.Row(row));
  for (int first = 0; first < rows * kTallRows; ++first) {
    sums.Add(band.Row(first + kTallRows - 1));
    if (first > 0) sums.Subtract(band.Row(first - 1));
    const platform::PhaseRow at = platform::PhaseRowFrom(first);
    std::uint32_t* pixels = into[static_cast<std::size_t>(at.Phase)];
    if (at.Phase == 0 || pixels == nullptr) continue;
    const auto row = static_cast<std::size_t>(top + at.Row);
    sums.PutMean(pixels + row * static_cast<std::size_t>(width));
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

// Draws the span of the line at phases above 0 into the pixels of each phase's image that `into`
// names (span.Width x height pixels; null: not drawn), each that many sixteenths of a pixel low,
// by GDI itself rather than by moving the still line's pixels. Band by band, the line is drawn
// kTallRows times as tall into the band's DC (the DC it was shaped on), once for all phases: a
// phase is a whole number of rows there, and each row of a phase's image is the mean of the rows
// it covers.
void DrawBetweenPixels(Surface& band, const ShapedLine& line, platform::TextImageSpan span,
                       Color color, std::uint32_t background,
                       const std::array<std::uint32_t*, platform::kSubpixelSteps>& into,
                       int height) {
  HDC dc = band.Dc();
  const StretchedDc stretched(dc);
  const auto width = static_cast<std::size_t>(span.Width);
  for (int top = 0; top < height; top += kBandRows) {
    const int rows = std::min(kBandRows, height - top);
    for (int row = 0; row < rows * kTallRows + kTallRows - 1; ++row) {
      std::fill_n(band.Row(row), width, background);
    }
    // The band's first row is the highest a phase's top row covers: kTallRows - 1 above `top`.
    const XFORM stretch = Stretch(kTallRows - 1 - top * kTallRows);
    SetWorldTransform(dc, &stretch);
    DrawSpan(dc, line, span, color);
    AverageBand(band, rows, span.Width, into, top);
  }
}

}  // namespace

COLORREF ToColorRef(Color color) {
  const auto value = static_cast<std::uint32_t>(color);
  if ((value & 0xFF000000u) == 0x80000000u) return GetSysColor(static_cast<int>(value & 0xFFu));
  return value & 0x00FFFFFFu;
}

FontCache::FontCache(int dpiY) : dpiY_(dpiY), measureDc_(CreateCompatibleDC(nullptr)) {}

FontCache::CachedFont& FontCache::Cached(const platform::FontSpec& font) {
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

HFONT FontCache::Get(const platform::FontSpec& font) {
  const CachedFont& cached = Cached(font);
  if (cached.font) return cached.font.get();
  return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

HFONT FontCache::GetForBand(const platform::FontSpec& font) {
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

platform::TextExtent FontCache::Measure(const platform::FontSpec& font, std::string_view text) {
  HDC dc = measureDc_.get();
  if (dc == nullptr) return {};
  const SelectGuard selected(dc, Get(font));
  const std::wstring wide = platform::Utf8ToWide(text);
  const ShapedLine line(dc, wide);
  return {line.Width(), line.Height()};
}

void GdiCanvas::FillRect(const platform::PixelRect& rect, Color color) {
  FillWith(surface_.Dc(), rect, color);
}

void GdiCanvas::DrawImage(const platform::TextImage& image, int x, int y) {
  // This backend's canvases only ever get this backend's images.
  const auto& text = static_cast<const GdiTextImage&>(image);
  const platform::PixelRect shown =
      platform::PixelRect{x, y, x + text.Width(), y + text.Height()}.Intersect(area_);
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

std::unique_ptr<GdiTextImage> GdiTextImage::Draw(FontCache& fonts, const platform::FontSpec& font,
                                                 std::string_view text,
                                                 platform::TextImageSpan span, Color color,
                                                 Color background) {
  const auto phase = static_cast<std::size_t>(span.Phase);
  return std::move(DrawPhases(fonts, font, text, span, platform::PhaseSet().set(phase), color,
                              background)[phase]);
}

GdiPhaseImages GdiTextImage::DrawPhases(FontCache& fonts, const platform::FontSpec& font,
                                        std::string_view text, platform::TextImageSpan span,
                                        platform::PhaseSet phases, Color color, Color background) {
  GdiPhaseImages images;
  if (phases.test(0)) images[0] = DrawStill(fonts, font, text, span, color, background);
  if ((phases & ~platform::PhaseSet(1)).any()) {
    DrawLowered(fonts, font, text, span, phases, color, background, images);
  }
  return images;
}

std::unique_ptr<GdiTextImage> GdiTextImage::DrawStill(FontCache& fonts,
                                                      const platform::FontSpec& font,
                                                      std::string_view text,
                                                      platform::TextImageSpan span, Color color,
                                                      Color background) {
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
      new GdiTextImage(std::make_shared<const UniqueBitmap>(std::move(bitmap)), bits, span.Width,
                       height, DibPixel(background)));
}

void GdiTextImage::DrawLowered(FontCache& fonts, const platform::FontSpec& font,
                               std::string_view text, platform::TextImageSpan span,
                               platform::PhaseSet phases, Color color, Color background,
                               GdiPhaseImages& images) {
  Surface& band = fonts.Band();
  if (span.Width <= 0 || !band.Reserve(span.Width, kBandTallRows)) return;
  // Shaped on the DC it is drawn on, before that DC is stretched: laid out as at rest.
  const SelectGuard fontSelected(band.Dc(), fonts.GetForBand(font));
  const std::wstring wide = platform::Utf8ToWide(text);
  const ShapedLine line(band.Dc(), wide);
  if (line.Height() <= 0) return;
  // The line drawn lower keeps its lowest ink in a row of its own.
  const int height = line.Height() + 1;
  const std::uint32_t backgroundPixel = DibPixel(background);
  // One bitmap holds them all: a bitmap costs more to make than its pixels to fill.
  const auto count = (phases & ~platform::PhaseSet(1)).count();
  const auto rows = static_cast<std::size_t>(height) * static_cast<std::size_t>(span.Width);
  auto [bitmap, bits] = MakeDib(band.Dc(), span.Width, height * static_cast<int>(count));
  if (!bitmap) return;
  const auto shared = std::make_shared<const UniqueBitmap>(std::move(bitmap));
  std::array<std::uint32_t*, platform::kSubpixelSteps> into{};
  for (std::size_t phase = 1; phase < images.size(); ++phase) {
    if (!phases.test(phase)) continue;
    into[phase] = bits;
    images[phase].reset(new GdiTextImage(shared, bits, span.Width, height, backgroundPixel));
    bits += rows;
  }
  DrawBetweenPixels(band, line, span, color, backgroundPixel, into, height);
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

void PaintThrough(Surface& buffer, HDC target, const platform::PixelRect& area,
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
