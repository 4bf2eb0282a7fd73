// The Windows program's cost of one line of text: measuring a line and making its image, as the
// roll does once per line, through the Win32 backend. A 60-character line of Latin names is the
// yardstick; the names in other scripts show what shaping and fallback faces add. Then what a
// line's image between whole pixels costs beside the one at rest, at a full HD and a 4K size.
//
// Usage: text_bench [--rounds N]. Prints the median per line of each, in microseconds.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/win32_backend.h"
#include "platform/win32/win32_frames.h"

namespace {

using velloway::platform::FontSpec;

struct Sample {
  const char* Name;
  std::string Text;
};

const std::vector<Sample>& Samples() {
  static const std::vector<Sample> samples = {
      {"Latin, 60 characters",
       "Bj\xC3\xB6rk Gu\xC3\xB0mundsd\xC3\xB3ttir, Ana Mar\xC3\xAD"
       "a Jim\xC3\xA9nez, Jean Luc Picard Zo\xC3\xAB"},
      {"Arabic",
       "\xD9\x85\xD8\xAD\xD9\x85\xD8\xAF \xD8\xB9\xD8\xA8\xD8\xAF \xD8\xA7\xD9\x84\xD9"
       "\x84\xD9\x87"},
      {"Hebrew", "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D \xD7\xA2\xD7\x9C\xD7\x99\xD7\x9B\xD7\x9D"},
      {"Devanagari",
       "\xE0\xA4\xB9\xE0\xA4\xBF\xE0\xA4\xA8\xE0\xA5\x8D\xE0\xA4\xA6\xE0\xA5\x80 "
       "\xE0\xA4\xA8\xE0\xA4\xBE\xE0\xA4\xAE"},
  };
  return samples;
}

double NowUs() {
  using namespace velloway::win32;
  return static_cast<double>(CounterMicroseconds(CounterNow()));
}

double Median(std::vector<double> values) {
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

// One line measured and drawn into its image, as a new line of the roll costs.
double LineCostUs(velloway::win32::Win32Backend& backend, const std::string& text) {
  const FontSpec font{"Arial", 26, false, false};
  const double start = NowUs();
  const velloway::platform::TextExtent extent = backend.MeasureText(font, text);
  const auto images = backend.CreateTextImages(font, text, {0, extent.Width},
                                               velloway::platform::PhaseSet(1), 0xFFFFFF, 0);
  const double end = NowUs();
  if (!images[0]) std::fprintf(stderr, "text_bench: no image made\n");
  return end - start;
}

// The images of a line already measured, at some phases, drawn together.
double ImageCostUs(velloway::win32::Win32Backend& backend, const FontSpec& font,
                   const std::string& text, int width, velloway::platform::PhaseSet phases) {
  const double start = NowUs();
  const auto images = backend.CreateTextImages(font, text, {0, width}, phases, 0xFFFFFF, 0);
  const double end = NowUs();
  if (std::none_of(images.begin(), images.end(),
                   [](const auto& image) { return image != nullptr; })) {
    std::fprintf(stderr, "text_bench: no image made\n");
  }
  return end - start;
}

// The Latin line's image at rest, at one phase between pixels (every phase in turn), and at all
// fifteen together, as a moving line's label asks for them; in each of the fonts in turn, as a
// roll draws many fonts.
void PrintPhaseCosts(velloway::win32::Win32Backend& backend, const std::vector<FontSpec>& fonts,
                     int rounds, const char* name) {
  using velloway::platform::PhaseSet;
  const std::string& text = Samples().front().Text;
  std::vector<int> widths;
  for (const FontSpec& font : fonts) widths.push_back(backend.MeasureText(font, text).Width);
  // The first image between pixels draws the glyphs at their tall height for the first time.
  const double first = ImageCostUs(backend, fonts.front(), text, widths.front(), PhaseSet(2));
  std::vector<double> still;
  std::vector<double> between;
  std::vector<double> together;
  for (int i = 0; i < rounds; ++i) {
    const auto which = static_cast<std::size_t>(i) % fonts.size();
    still.push_back(ImageCostUs(backend, fonts[which], text, widths[which], PhaseSet(1)));
    const auto phase = static_cast<std::size_t>(1 + i % (velloway::platform::kSubpixelSteps - 1));
    between.push_back(
        ImageCostUs(backend, fonts[which], text, widths[which], PhaseSet().set(phase)));
    together.push_back(ImageCostUs(backend, fonts[which], text, widths[which], ~PhaseSet(1)));
  }
  std::printf(
      "%-28s %4d px wide: at rest %7.1f, one phase between pixels %7.1f (the first %.1f), "
      "all fifteen together %7.1f\n",
      name, widths.front(), Median(still), Median(between), first, Median(together));
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 500;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string_view(argv[i]) == "--rounds") rounds = std::max(1, std::atoi(argv[i + 1]));
  }
  velloway::win32::Win32Backend backend;
  std::printf("A line at Arial 26 pt measured and drawn into its image (median of %d, us)\n",
              rounds);
  for (const Sample& sample : Samples()) {
    std::vector<double> costs;
    LineCostUs(backend, sample.Text);  // the font made and its glyphs cached, as in a roll
    for (int i = 0; i < rounds; ++i) costs.push_back(LineCostUs(backend, sample.Text));
    std::printf("%-24s %8.1f\n", sample.Name, Median(costs));
  }
  std::printf("\nThe Latin line's images at rest and between pixels (median of %d, us)\n", rounds);
  PrintPhaseCosts(backend, {{"Arial", 20, false, false}}, rounds, "Arial 20 pt (full HD)");
  PrintPhaseCosts(backend, {{"Arial", 40, false, false}}, rounds, "Arial 40 pt (4K)");
  std::vector<FontSpec> sizes;
  for (int size = 21; size < 35; ++size) sizes.push_back({"Arial", static_cast<float>(size)});
  PrintPhaseCosts(backend, sizes, rounds, "Arial 21 to 34 pt in turn");
  return 0;
}
