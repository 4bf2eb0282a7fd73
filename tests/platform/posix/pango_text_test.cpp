// A line's measure and image through Pango: the image shows the columns of the line its span
// names, however wide the line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <numeric>
#include <string>
#include <vector>

#include "platform/posix/pango_text.h"

namespace velloway::posix {
namespace {

const platform::FontSpec kFont{"DejaVu Sans", 20, false, false};

// The span of a line at rest, in white.
LineImage Still(PangoText& text, const platform::FontSpec& font, std::string_view line,
                platform::TextImageSpan span) {
  return std::move(text.Draw(font, line, span, platform::PhaseSet(1), 0xFFFFFF)[0]);
}

// Column x of the image, top to bottom.
std::vector<unsigned char> Column(const LineImage& image, int x) {
  std::vector<unsigned char> column;
  const unsigned char* data = cairo_image_surface_get_data(image.get());
  const int stride = cairo_image_surface_get_stride(image.get());
  for (int y = 0; y < cairo_image_surface_get_height(image.get()); ++y) {
    column.push_back(data[y * stride + x]);
  }
  return column;
}

// The columns of the image with ink, left to right.
std::vector<int> InkColumns(const LineImage& image) {
  std::vector<int> columns;
  for (int x = 0; x < cairo_image_surface_get_width(image.get()); ++x) {
    const std::vector<unsigned char> column = Column(image, x);
    if (std::any_of(column.begin(), column.end(), [](unsigned char c) { return c != 0; })) {
      columns.push_back(x);
    }
  }
  return columns;
}

TEST(PangoText, ASpanShowsTheColumnsOfTheWholeLineItNames) {
  PangoText text(96);
  // Right to left, joined, with a fallback face: the span is counted in the line as shown.
  const std::string line = "Anna \xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D \xD9\x85\xD8\xAD\xD9\x85\xD8\xAF";
  const platform::TextExtent extent = text.Measure(kFont, line);
  const LineImage whole = Still(text, kFont, line, {0, extent.Width});
  ASSERT_TRUE(whole);
  EXPECT_EQ(cairo_image_surface_get_height(whole.get()), extent.Height);
  // The measure is the width of what is drawn: the ink fills the image to within a bearing.
  const std::vector<int> ink = InkColumns(whole);
  ASSERT_FALSE(ink.empty());
  EXPECT_LE(ink.front(), 2);
  EXPECT_GE(ink.back(), extent.Width - 4);
  const platform::TextImageSpan span{extent.Width / 3, extent.Width / 3};
  const LineImage part = Still(text, kFont, line, span);
  ASSERT_TRUE(part);
  for (int x = 0; x < span.Width; ++x) {
    EXPECT_EQ(Column(part, x), Column(whole, span.Skip + x)) << "column " << span.Skip + x;
  }
}

// The ink's vertical centre, in rows.
double InkCentre(const LineImage& image) {
  const unsigned char* data = cairo_image_surface_get_data(image.get());
  const int stride = cairo_image_surface_get_stride(image.get());
  const bool colour = cairo_image_surface_get_format(image.get()) == CAIRO_FORMAT_ARGB32;
  double ink = 0;
  double moment = 0;
  for (int y = 0; y < cairo_image_surface_get_height(image.get()); ++y) {
    for (int x = 0; x < cairo_image_surface_get_width(image.get()); ++x) {
      // Coverage, or a colour pixel's alpha.
      const double value = colour ? data[y * stride + x * 4 + 3] : data[y * stride + x];
      ink += value;
      moment += value * (y + 0.5);
    }
  }
  return moment / ink;
}

TEST(PangoText, APhaseDrawsTheLineThatManySixteenthsOfAPixelLower) {
  PangoText text(96);
  const struct {
    const char* what;
    std::string line;
    double within;  // pixels
  } cases[] = {
      {"Latin", "Zoë Mélanie Hargreaves", 0.02},
      {"joined, right to left, in a fallback face", "محمد Anna", 0.02},
      {"a colour emoji beside text", "🎂 Happy birthday", 0.05},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const platform::TextExtent extent = text.Measure(kFont, c.line);
    // All together, as a moving line's label asks for them.
    const PhaseLineImages drawn =
        text.Draw(kFont, c.line, {0, extent.Width}, ~platform::PhaseSet(), 0xFFFFFF);
    ASSERT_TRUE(drawn[0]);
    for (int phase = 1; phase < platform::kSubpixelSteps; ++phase) {
      const LineImage& moved = drawn[static_cast<std::size_t>(phase)];
      ASSERT_TRUE(moved);
      EXPECT_EQ(cairo_image_surface_get_height(moved.get()), extent.Height + 1);
      EXPECT_NEAR(InkCentre(moved) - InkCentre(drawn[0]), phase / 16.0, c.within)
          << "phase " << phase;
    }
  }
}

// Each column's ink, summed down the image.
std::vector<int> ColumnInk(const LineImage& image) {
  std::vector<int> ink;
  for (int x = 0; x < cairo_image_surface_get_width(image.get()); ++x) {
    const std::vector<unsigned char> column = Column(image, x);
    ink.push_back(std::accumulate(column.begin(), column.end(), 0));
  }
  return ink;
}

TEST(PangoText, BetweenPixelsEachGlyphKeepsTheColumnsItHasAtRest) {
  PangoText text(96);
  // Thai marks stand a fraction of a pixel across from their letters: at rest they are drawn on
  // the nearest whole pixel, and moving, the line keeps them there.
  const std::string lines[] = {"น้ำใจ ผู้กำกับ", "Zoë Mélanie Hargreaves"};
  // A quarter of a pixel's full coverage: the outlines filled between pixels differ that little
  // from the glyphs cairo draws at rest.
  constexpr int kTolerance = 64;
  for (const std::string& line : lines) {
    SCOPED_TRACE(line);
    const platform::TextExtent extent = text.Measure(kFont, line);
    const PhaseLineImages drawn =
        text.Draw(kFont, line, {0, extent.Width}, ~platform::PhaseSet(), 0xFFFFFF);
    ASSERT_TRUE(drawn[0]);
    const std::vector<int> still = ColumnInk(drawn[0]);
    for (std::size_t phase = 1; phase < drawn.size(); ++phase) {
      ASSERT_TRUE(drawn[phase]);
      const std::vector<int> moved = ColumnInk(drawn[phase]);
      std::size_t worst = 0;
      for (std::size_t x = 0; x < still.size(); ++x) {
        if (std::abs(moved[x] - still[x]) > std::abs(moved[worst] - still[worst])) worst = x;
      }
      EXPECT_NEAR(moved[worst], still[worst], kTolerance)
          << "phase " << phase << ", column " << worst;
    }
  }
}

TEST(PangoText, ALineWiderThanPangosUnitsHoldKeepsItsWidthAndItsEnd) {
  PangoText text(96);
  const platform::FontSpec huge{"DejaVu Sans", 1000, false, false};
  const int one = text.Measure(huge, "W").Width;
  const int count = (1 << 21) / one + 10;  // beyond 2^31 / 1024 pixels
  const platform::TextExtent extent = text.Measure(huge, std::string(count, 'W'));
  EXPECT_EQ(extent.Width, one * count);
  const LineImage end = Still(text, huge, std::string(count, 'W'), {extent.Width - one, one});
  ASSERT_TRUE(end);
  EXPECT_FALSE(InkColumns(end).empty());
}

}  // namespace
}  // namespace velloway::posix
