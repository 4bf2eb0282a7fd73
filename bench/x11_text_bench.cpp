// The Linux program's cost of one line of text: measuring a 60-character line and making its
// image, as the roll does once per line, through the X11 backend on the display DISPLAY names
// (an Xvfb will do). A round trip after each image counts the X server's share.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/x11/x11_backend.h"

namespace {

using velloway::forms::FontSpec;

// Sixty characters of names, with diacritics, as a credits roll shows them.
const std::string kLine =
    "Bj\xC3\xB6rk Gu\xC3\xB0mundsd\xC3\xB3ttir, Ana Mar\xC3\xAD"
    "a Jim\xC3\xA9nez, Jean Luc Picard Zo\xC3\xAB";

void MakeLineImage(benchmark::State& state) {
  velloway::x11::X11Backend backend(velloway::x11::BackendSetup{});
  const FontSpec font{"Arial", 26, false, false};
  for (auto _ : state) {
    const velloway::forms::TextExtent extent = backend.MeasureText(font, kLine);
    auto image = backend.CreateTextImage(font, kLine, {0, extent.Width}, 0xFFFFFF, 0);
    benchmark::DoNotOptimize(image);
    benchmark::DoNotOptimize(backend.PointerPosition());
  }
}
BENCHMARK(MakeLineImage)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
