// A line drawn between whole pixels: GDI itself draws it a phase's sixteenths of a pixel lower,
// and a line at rest is drawn as GDI draws text (under Wine in the build).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/wide_text.h"
#include "platform/win32/gdi_canvas.h"

namespace velloway::win32 {
namespace {

constexpr Color kWhite = 0xFFFFFF;
constexpr Color kBlack = 0x000000;
constexpr char kLatin[] = "Velloway credits: Jean Luc Picard";

platform::FontSpec Arial(float size) {
  return platform::FontSpec{"Arial", size, false, false, platform::FontLanguage::Any};
}

std::unique_ptr<GdiTextImage> Draw(FontCache& fonts, float size, const char* text, int phase) {
  const int width = fonts.Measure(Arial(size), text).Width;
  return GdiTextImage::Draw(fonts, Arial(size), text, {0, width, phase}, kWhite, kBlack);
}

// The row where an image's ink weighs in, in pixels from its top: white text over black, each
// pixel weighing as much as its green channel, at the middle of its row.
double InkCentre(const GdiTextImage& image) {
  double weight = 0;
  double moment = 0;
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) {
      const auto ink = static_cast<double>((image.Row(y)[x] >> 8) & 0xFFu);
      weight += ink;
      moment += ink * (y + 0.5);
    }
  }
  return weight > 0 ? moment / weight : 0;
}

// Through a phase the ink moves down by as many sixteenths of a pixel, in a row more, at every
// size and in fallback faces too.
TEST(TextPhaseTest, APhaseDrawsTheInkItsSixteenthsOfAPixelLower) {
  const struct {
    float size;
    const char* text;
  } lines[] = {
      {8, kLatin},
      {20, kLatin},
      {40, kLatin},
      {20,
       "Dr. \xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d \xd9\x85\xd8\xad\xd9\x85\xd8\xaf"},  // Hebrew, Arabic
  };
  FontCache fonts(96);
  for (const auto& line : lines) {
    const int width = fonts.Measure(Arial(line.size), line.text).Width;
    // All together, as a moving line's label asks for them.
    const GdiPhaseImages drawn = GdiTextImage::DrawPhases(
        fonts, Arial(line.size), line.text, {0, width}, ~platform::PhaseSet(), kWhite, kBlack);
    const auto& still = drawn[0];
    ASSERT_TRUE(still);
    for (int phase = 1; phase < platform::kSubpixelSteps; ++phase) {
      SCOPED_TRACE(testing::Message() << line.size << " pt " << line.text << ", phase " << phase);
      const auto& lowered = drawn[static_cast<std::size_t>(phase)];
      ASSERT_TRUE(lowered);
      EXPECT_EQ(lowered->Width(), still->Width());
      EXPECT_EQ(lowered->Height(), still->Height() + 1);
      EXPECT_EQ(lowered->Bytes(),
                static_cast<std::size_t>(4 * lowered->Width() * lowered->Height()));
      EXPECT_NEAR(InkCentre(*lowered) - InkCentre(*still), phase / 16.0, 0.05);
    }
  }
}

// A line at rest is the text as GDI draws it on its baseline: nothing of the drawing between
// pixels reaches it, before or after a line is drawn there.
TEST(TextPhaseTest, ALineAtRestIsTheTextAsGdiDrawsIt) {
  FontCache fonts(96);
  const platform::FontSpec font = Arial(20);
  const auto before = Draw(fonts, 20, kLatin, 0);
  ASSERT_TRUE(Draw(fonts, 20, kLatin, 8));
  const auto after = Draw(fonts, 20, kLatin, 0);
  ASSERT_TRUE(before && after);

  Surface plain;
  ASSERT_TRUE(plain.Reserve(before->Width(), before->Height()));
  HDC dc = plain.Dc();
  const HGDIOBJ previous = SelectObject(dc, fonts.Get(font));
  TEXTMETRICW metrics{};
  ASSERT_TRUE(GetTextMetricsW(dc, &metrics));
  ASSERT_EQ(before->Height(), metrics.tmHeight);
  const RECT all{0, 0, before->Width(), before->Height()};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  SetTextAlign(dc, TA_BASELINE | TA_LEFT);
  const std::wstring wide = platform::Utf8ToWide(kLatin);
  ExtTextOutW(dc, 0, metrics.tmAscent, 0, nullptr, wide.data(), static_cast<UINT>(wide.size()),
              nullptr);
  SelectObject(dc, previous);
  GdiFlush();

  int differing = 0;
  for (int y = 0; y < before->Height(); ++y) {
    for (int x = 0; x < before->Width(); ++x) {
      const std::uint32_t expected = plain.Row(y)[x] & 0xFFFFFFu;
      differing += (before->Row(y)[x] & 0xFFFFFFu) != expected;
      differing += (after->Row(y)[x] & 0xFFFFFFu) != expected;
    }
  }
  EXPECT_EQ(differing, 0);
}

}  // namespace
}  // namespace velloway::win32
