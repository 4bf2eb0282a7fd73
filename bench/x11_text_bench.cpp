// The Linux program's cost of one line of text: measuring a 60-character line and making its
// image, as the roll does once per line, through the X11 backend on the display DISPLAY names
// (an Xvfb will do). A round trip after each image counts the X server's share. A line of names
// is coverage; a line with colour emoji is drawn in colour. A moving line is also drawn at the
// fifteen phases between whole pixels: together, as a label asks for them, and one at a time.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/x11/x11_backend.h"

namespace {

using velloway::platform::FontSpec;

// Sixty characters of names, with diacritics, as a credits roll shows them.
const std::string kLine =
    "Bj\xC3\xB6rk Gu\xC3\xB0mundsd\xC3\xB3ttir, Ana Mar\xC3\xAD"
    "a Jim\xC3\xA9nez, Jean Luc Picard Zo\xC3\xAB";
// As many characters, three of them colour emoji (a birthday cake, a party popper, a balloon).
const std::string kEmojiLine =
    "\xF0\x9F\x8E\x82 Happy birthday, Ana Mar\xC3\xAD"
    "a! \xF0\x9F\x8E\x89\xF0\x9F\x8E\x88 Bj\xC3\xB6rk Gu\xC3\xB0mundsd\xC3\xB3ttir, Zo\xC3\xAB Lu";

void MakeLineImage(benchmark::State& state, const std::string& line) {
  velloway::x11::X11Backend backend(velloway::x11::BackendSetup{});
  const FontSpec font{"Arial", 26, false, false};
  for (auto _ : state) {
    const velloway::platform::TextExtent extent = backend.MeasureText(font, line);
    auto image = backend.CreateTextImages(font, line, {0, extent.Width},
                                          velloway::platform::PhaseSet(1), 0xFFFFFF, 0);
    benchmark::DoNotOptimize(image);
    benchmark::DoNotOptimize(backend.PointerPosition());
  }
}
BENCHMARK_CAPTURE(MakeLineImage, names, kLine)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(MakeLineImage, emoji, kEmojiLine)->Unit(benchmark::kMicrosecond);

void MakeMovingLineImages(benchmark::State& state, bool together) {
  velloway::x11::X11Backend backend(velloway::x11::BackendSetup{});
  const FontSpec font{"Arial", 26, false, false};
  const velloway::platform::TextImageSpan span{0, backend.MeasureText(font, kLine).Width};
  const velloway::platform::PhaseSet moving = ~velloway::platform::PhaseSet(1);
  for (auto _ : state) {
    if (together) {
      auto images = backend.CreateTextImages(font, kLine, span, moving, 0xFFFFFF, 0);
      benchmark::DoNotOptimize(images);
    } else {
      for (int phase = 1; phase < velloway::platform::kSubpixelSteps; ++phase) {
        auto image = backend.CreateTextImages(
            font, kLine, span, velloway::platform::PhaseSet().set(static_cast<std::size_t>(phase)),
            0xFFFFFF, 0);
        benchmark::DoNotOptimize(image);
      }
    }
    benchmark::DoNotOptimize(backend.PointerPosition());
  }
}
BENCHMARK_CAPTURE(MakeMovingLineImages, together, true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(MakeMovingLineImages, one_at_a_time, false)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
