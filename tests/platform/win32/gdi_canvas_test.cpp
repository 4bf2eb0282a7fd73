// Text metrics and painting with GDI through a back buffer (under Wine in the build).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/wide_text.h"
#include "platform/win32/gdi_canvas.h"
#include "platform/win32/win32_backend.h"

namespace velloway::win32 {
namespace {

using platform::FontSpec;
using platform::PixelRect;

// ---- Text metrics ----

FontSpec Font(const char* name, float size, bool bold = false) {
  return FontSpec{name, size, bold, false, platform::FontLanguage::Any};
}

TEST(MeasureTextTest, GrowsWithTheFontSize) {
  Win32Backend backend;
  const float sizes[] = {6, 8.25f, 10, 12, 16, 24, 36, 72};
  platform::TextExtent previous{};
  for (const float size : sizes) {
    const platform::TextExtent extent = backend.MeasureText(Font("Arial", size), "Credits roll");
    SCOPED_TRACE(size);
    EXPECT_GT(extent.Width, previous.Width);
    EXPECT_GT(extent.Height, previous.Height);
    previous = extent;
  }
}

TEST(MeasureTextTest, FollowsTheDpiAndPointSize) {
  Win32Backend backend;
  const int dpi = backend.Screen().DpiY;
  // A line is at least the em height: size_pt * dpi / 72 pixels.
  const platform::TextExtent extent = backend.MeasureText(Font("Arial", 72), "H");
  EXPECT_GE(extent.Height, dpi);
  EXPECT_LT(extent.Height, dpi * 3 / 2);
}

TEST(MeasureTextTest, EmptyTextHasNoWidthAndTheLineHeight) {
  Win32Backend backend;
  const FontSpec font = Font("Tahoma", 12);
  const platform::TextExtent empty = backend.MeasureText(font, "");
  EXPECT_EQ(empty.Width, 0);
  EXPECT_EQ(empty.Height, backend.MeasureText(font, "x").Height);
  EXPECT_GT(empty.Height, 0);
}

TEST(MeasureTextTest, WiderTextAndBoldAreWider) {
  Win32Backend backend;
  const FontSpec font = Font("Arial", 12);
  EXPECT_GT(backend.MeasureText(font, "WWWW").Width, backend.MeasureText(font, "WW").Width);
  EXPECT_GT(backend.MeasureText(Font("Arial", 12, true), "Bold credits").Width,
            backend.MeasureText(font, "Bold credits").Width);
  // UTF-8 is measured as text, not as bytes: one wide character is one glyph.
  EXPECT_EQ(backend.MeasureText(font, "\xc3\xa9").Width, backend.MeasureText(font, "e").Width);
}

// What a font's text needs becomes the GDI character set of the font made for it.
TEST(FontCacheTest, TheTextsLanguageChoosesTheCharacterSet) {
  const struct {
    platform::FontLanguage language;
    BYTE charset;
  } cases[] = {{platform::FontLanguage::Any, DEFAULT_CHARSET},
               {platform::FontLanguage::Western, ANSI_CHARSET},
               {platform::FontLanguage::Japanese, SHIFTJIS_CHARSET}};
  FontCache fonts(96);
  for (const auto& c : cases) {
    LOGFONTW made{};
    ASSERT_EQ(GetObjectW(fonts.Get({"Arial", 12, false, false, c.language}), sizeof made, &made),
              static_cast<int>(sizeof made));
    EXPECT_EQ(made.lfCharSet, c.charset) << static_cast<int>(c.language);
  }
}

// ---- Painting ----

constexpr Color kNavy = 0x402010;    // red 0x10, green 0x20, blue 0x40
constexpr Color kOrange = 0x0080FF;  // red 0xFF, green 0x80, blue 0x00

// How many pixels of the rectangle differ from the background colour.
int CountInked(const Surface& surface, const PixelRect& rect, Color background) {
  int count = 0;
  for (int y = rect.Top; y < rect.Bottom; ++y) {
    for (int x = rect.Left; x < rect.Right; ++x) count += surface.Pixel(x, y) != background;
  }
  return count;
}

class GdiPaintTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(target_.Reserve(200, 100)); }
  void Paint(const PixelRect& area, const PaintRoutine& routine) {
    PaintThrough(buffer_, target_.Dc(), area, routine);
  }

  FontCache fonts_{96};
  Surface buffer_;
  Surface target_;
};

TEST_F(GdiPaintTest, ColourValuesAreRedGreenBlueFromTheLowByte) {
  Paint({0, 0, 200, 100},
        [](platform::Canvas& canvas, const PixelRect& area) { canvas.FillRect(area, kOrange); });
  EXPECT_EQ(target_.Pixel(0, 0), kOrange);
  EXPECT_EQ(target_.Pixel(199, 99), kOrange);
  EXPECT_EQ(ToColorRef(kOrange), RGB(0xFF, 0x80, 0x00));
  EXPECT_EQ(ToColorRef(static_cast<Color>(0x80000005)), GetSysColor(COLOR_WINDOW));
}

TEST_F(GdiPaintTest, PaintsOnlyTheAreaWithABufferOfItsSize) {
  Paint({0, 0, 200, 100},
        [](platform::Canvas& canvas, const PixelRect& area) { canvas.FillRect(area, kNavy); });
  Surface small;
  const PixelRect area{50, 20, 90, 45};
  PaintThrough(small, target_.Dc(), area, [&](platform::Canvas& canvas, const PixelRect& painted) {
    EXPECT_EQ(painted, area);
    canvas.FillRect({0, 0, 200, 100}, kOrange);  // clipped to the area
  });
  EXPECT_EQ(small.Width(), area.Width());
  EXPECT_EQ(small.Height(), area.Height());
  EXPECT_EQ(CountInked(target_, {0, 0, 200, 100}, kNavy), area.Width() * area.Height());
  EXPECT_EQ(CountInked(target_, area, kOrange), 0);
}

TEST_F(GdiPaintTest, TextImageLiesInsideItsMeasuredBoxAndIsClipped) {
  const FontSpec font = Font("Arial", 14);
  const platform::TextExtent extent = fonts_.Measure(font, "Velloway");
  const int x = 20;
  const int y = 30;
  const std::unique_ptr<GdiTextImage> image =
      GdiTextImage::Draw(fonts_, font, "Velloway", {0, extent.Width}, kOrange, kNavy);
  ASSERT_TRUE(image);
  Paint({0, 0, 200, 100}, [&](platform::Canvas& canvas, const PixelRect& area) {
    canvas.FillRect(area, kNavy);
    canvas.DrawImage(*image, x, y);
  });
  const PixelRect box{x - 2, y, x + extent.Width + 2, y + extent.Height};
  EXPECT_GT(CountInked(target_, box, kNavy), 50);
  EXPECT_EQ(CountInked(target_, {0, 0, 200, box.Top}, kNavy), 0);
  EXPECT_EQ(CountInked(target_, {0, box.Bottom, 200, 100}, kNavy), 0);
  EXPECT_EQ(CountInked(target_, {box.Right, 0, 200, 100}, kNavy), 0);
  // Antialiased, but the core strokes carry the text colour.
  int exact = 0;
  for (int py = box.Top; py < box.Bottom; ++py) {
    for (int px = box.Left; px < box.Right; ++px) exact += target_.Pixel(px, py) == kOrange;
  }
  EXPECT_GT(exact, 10);

  // Painting the left half again clips the text at the edge.
  const int middle = x + extent.Width / 2;
  Paint({0, 0, middle, 100},
        [&](platform::Canvas& canvas, const PixelRect& area) { canvas.FillRect(area, kNavy); });
  EXPECT_EQ(CountInked(target_, {0, 0, middle, 100}, kNavy), 0);
  EXPECT_GT(CountInked(target_, {middle, box.Top, box.Right, box.Bottom}, kNavy), 10);
}

// ---- Text in the world's scripts ----

// The pixels of a line's whole image, row after row.
std::vector<std::uint32_t> Pixels(FontCache& fonts, const FontSpec& font, const std::string& text) {
  const int width = fonts.Measure(font, text).Width;
  const auto image = GdiTextImage::Draw(fonts, font, text, {0, width}, kOrange, kNavy);
  std::vector<std::uint32_t> pixels;
  if (!image) return pixels;
  for (int y = 0; y < image->Height(); ++y) {
    pixels.insert(pixels.end(), image->Row(y), image->Row(y) + image->Width());
  }
  return pixels;
}

// A face without a script's letters still shows them, in a face that has them: not as the
// boxes of characters no face has (private-use ones).
TEST(WorldTextTest, LettersTheFaceLacksShowInAFaceThatHasThem) {
  const char* const names[] = {"\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d",                  // Hebrew
                               "\xd9\x85\xd8\xad\xd9\x85\xd8\xaf",                  // Arabic
                               "\xe0\xa4\xa8\xe0\xa4\xbe\xe0\xa4\xae",              // Devanagari
                               "\xe0\xb8\x8a\xe0\xb8\xb7\xe0\xb9\x88\xe0\xb8\xad",  // Thai
                               "\xec\x9d\xb4\xeb\xa6\x84"};                         // Korean
  FontCache fonts(96);
  const FontSpec font = Font("Arial", 20);
  for (const char* name : names) {
    SCOPED_TRACE(name);
    const std::wstring wide = platform::Utf8ToWide(name);
    std::string boxes;
    for (std::size_t i = 0; i < wide.size(); ++i) boxes += "\xee\x80\x80";  // U+E000
    EXPECT_TRUE(Pixels(fonts, font, name) != Pixels(fonts, font, boxes));   // no pixel dump
  }
}

// How many pixels of an image the text inked.
int CountInk(const GdiTextImage& image) {
  int count = 0;
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) {
      count += (image.Row(y)[x] & 0xFFFFFFu) != image.Background();
    }
  }
  return count;
}

// The longest stretch of ink along any row of an image.
int LongestInkRun(const GdiTextImage& image) {
  int longest = 0;
  for (int y = 0; y < image.Height(); ++y) {
    int run = 0;
    for (int x = 0; x < image.Width(); ++x) {
      run = (image.Row(y)[x] & 0xFFFFFFu) != image.Background() ? run + 1 : 0;
      longest = std::max(longest, run);
    }
  }
  return longest;
}

// Arabic letters join: the stroke along the baseline runs through a name's letters, while
// letters apart are no wider than a letter each.
TEST(WorldTextTest, ArabicLettersJoin) {
  FontCache fonts(96);
  const FontSpec font = Font("Arial", 20);
  const std::string name = "\xd9\x85\xd8\xad\xd9\x85\xd8\xaf";  // four letters without dots
  const int width = fonts.Measure(font, name).Width;
  const auto image = GdiTextImage::Draw(fonts, font, name, {0, width}, kOrange, kNavy);
  ASSERT_TRUE(image);
  EXPECT_GT(LongestInkRun(*image), width / 2);
}

// How many pixels differ between two images of the same size.
int DifferingPixels(const GdiTextImage& one, const GdiTextImage& other) {
  int count = 0;
  for (int y = 0; y < one.Height(); ++y) {
    for (int x = 0; x < one.Width(); ++x) count += one.Row(y)[x] != other.Row(y)[x];
  }
  return count;
}

// How many pixels of each column of an image the text inked, left to right.
std::vector<int> ColumnInk(const GdiTextImage& image) {
  std::vector<int> columns(static_cast<std::size_t>(image.Width()));
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) {
      columns[static_cast<std::size_t>(x)] += (image.Row(y)[x] & 0xFFFFFFu) != image.Background();
    }
  }
  return columns;
}

// How unlike two images of the same width are, column by column: whatever the heights of the
// faces around their text.
int ColumnDistance(const GdiTextImage& one, const GdiTextImage& other) {
  const std::vector<int> a = ColumnInk(one);
  const std::vector<int> b = ColumnInk(other);
  int distance = 0;
  for (std::size_t x = 0; x < a.size() && x < b.size(); ++x) distance += std::abs(a[x] - b[x]);
  return distance;
}

// Each run reads in its script's direction, and a line in that of its first strong letter: a
// part of a line shows at the end of it that this gives it.
TEST(WorldTextTest, EachPartShowsAtTheEndItsDirectionGivesIt) {
  const std::string shin = "\xd7\xa9";  // then samekh: no letter alike in shape
  const std::string shalom = "\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d";
  const struct {
    std::string line;
    std::string part;
    bool atRight;
  } cases[] = {
      {shin + "\xd7\xa1", shin, true},            // a Hebrew name's first letter is its rightmost
      {"Dr. " + shalom + " 2024", "Dr.", false},  // Latin first: left to right
      {"Dr. " + shalom + " 2024", shalom, true},  // the number stays with the Hebrew before it
      {shalom + " Smith", shalom, true},          // Hebrew first: right to left
      {shalom + " Smith", "Smith", false},
  };
  FontCache fonts(96);
  const FontSpec font = Font("Arial", 20);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line + " | " + c.part);
    const int partWidth = fonts.Measure(font, c.part).Width;
    const int lineWidth = fonts.Measure(font, c.line).Width;
    ASSERT_GT(lineWidth, partWidth);
    const auto alone = GdiTextImage::Draw(fonts, font, c.part, {0, partWidth}, kOrange, kNavy);
    const auto left = GdiTextImage::Draw(fonts, font, c.line, {0, partWidth}, kOrange, kNavy);
    const auto right =
        GdiTextImage::Draw(fonts, font, c.line, {lineWidth - partWidth, partWidth}, kOrange, kNavy);
    ASSERT_TRUE(alone && left && right);
    const int there = ColumnDistance(*alone, c.atRight ? *right : *left);
    const int elsewhere = ColumnDistance(*alone, c.atRight ? *left : *right);
    EXPECT_LT(there, elsewhere / 4) << there << " against " << elsewhere;
  }
}

// Devanagari is shaped: the vowel sign i, written after its consonant, shows before it.
TEST(WorldTextTest, DevanagariVowelSignIShowsBeforeItsConsonant) {
  FontCache fonts(96);
  const FontSpec font = Font("Arial", 20);
  const std::string consonant = "\xe0\xa4\x95";             // ka
  const std::string syllable = consonant + "\xe0\xa4\xbf";  // ka, vowel sign i
  const int width = fonts.Measure(font, consonant).Width;
  const auto alone = GdiTextImage::Draw(fonts, font, consonant, {0, width}, kOrange, kNavy);
  const auto start = GdiTextImage::Draw(fonts, font, syllable, {0, width}, kOrange, kNavy);
  ASSERT_TRUE(alone && start);
  const int ink = CountInk(*alone);
  ASSERT_GT(ink, 20);
  EXPECT_GT(DifferingPixels(*alone, *start), ink / 2);
}

// A caption holds up to 65,536 bytes of a script's text: measuring and drawing it ends, and a
// screen-wide span of it is drawn.
TEST(WorldTextTest, TheLongestCaptionIsMeasuredAndDrawn) {
  std::string caption;
  while (caption.size() + 3 <= 65536) caption += "a\xd7\xa9";  // alternating scripts
  FontCache fonts(96);
  const FontSpec font = Font("Arial", 12);
  const platform::TextExtent extent = fonts.Measure(font, caption);
  EXPECT_GT(extent.Width, 100000);
  const auto image =
      GdiTextImage::Draw(fonts, font, caption, {extent.Width / 2, 1920}, kOrange, kNavy);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->Width(), 1920);
}

// The system has room for about 65,000 GDI objects per process: painting more often than that
// only keeps working when every paint releases what it made.
TEST_F(GdiPaintTest, RepeatedPaintingReleasesEveryGdiObject) {
  constexpr int kPaints = 70000;
  auto fonts = std::make_unique<FontCache>(96);
  for (int i = 0; i < kPaints; ++i) {
    if (i % 5000 == 0) fonts = std::make_unique<FontCache>(96);  // its fonts go with it
    Surface buffer;                                              // a DC and a bitmap each time
    const auto image = GdiTextImage::Draw(*fonts, Font("Arial", static_cast<float>(8 + i % 4)), "R",
                                          {0, 10}, kOrange, kNavy);
    PaintThrough(buffer, target_.Dc(), {0, 0, 40 + i % 7, 20},
                 [&](platform::Canvas& canvas, const PixelRect& area) {
                   canvas.FillRect(area, kNavy);
                   if (image) canvas.DrawImage(*image, 0, 0);
                 });
  }
  Surface last;
  ASSERT_TRUE(last.Reserve(200, 100));
  const auto image =
      GdiTextImage::Draw(*fonts, Font("Arial", 14), "Still here", {0, 100}, kOrange, kNavy);
  ASSERT_TRUE(image);
  PaintThrough(last, target_.Dc(), {0, 0, 200, 100},
               [&](platform::Canvas& canvas, const PixelRect& area) {
                 canvas.FillRect(area, kNavy);
                 canvas.DrawImage(*image, 10, 10);
               });
  EXPECT_GT(CountInked(target_, {0, 0, 200, 100}, kNavy), 50);
}

}  // namespace
}  // namespace velloway::win32
