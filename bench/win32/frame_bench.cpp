// What smooth motion's frames cost against the classic roll's ticks, on the real backend,
// window and message loop. The saver plays the script chosen in the registry, with smooth motion
// on or off, for some seconds; every frame (or, classic, every tick) is timed from when the loop
// runs it until its paint is done: the handler, then the WM_PAINT it asked for, painted at once.
// Prints the frames per second, the intervals between frames and the work of each.
//
// Usage: frame_bench smooth|classic [--seconds N]. Run it on the display to be measured.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "platform/win32/win32_backend.h"
#include "platform/win32/win32_frames.h"
#include "roll/saver_window.h"

namespace {

using velloway::forms::Backend;

double NowMs() {
  using namespace velloway::win32;
  return static_cast<double>(CounterMicroseconds(CounterNow())) / 1000.0;
}

// The start and end of each frame or tick, once the roll has settled.
struct Timings {
  double settleMs = 2000;
  double endMs = 0;
  double firstMs = -1;
  HWND window = nullptr;
  std::vector<double> starts;
  std::vector<double> work;

  // Runs a frame or tick and its paint, and times them.
  template <typename Handler>
  void Time(Handler&& handler) {
    const double start = NowMs();
    if (firstMs < 0) firstMs = start;
    handler();
    if (window != nullptr) UpdateWindow(window);
    if (start - firstMs < settleMs) return;
    starts.push_back(start);
    work.push_back(NowMs() - start);
    if (start >= firstMs + settleMs + endMs) PostQuitMessage(0);
  }
};

// The Windows backend, with its frames and timer ticks timed.
class TimedBackend final : public Backend {
 public:
  TimedBackend(velloway::win32::Win32Backend& inner, Timings& timings, bool timeTicks)
      : inner_(inner), timings_(timings), timeTicks_(timeTicks) {}

  std::unique_ptr<velloway::forms::NativeWindow> CreateNativeWindow(
      velloway::forms::WindowEvents& events, const velloway::forms::WindowStyle& style,
      std::string_view caption) override {
    return inner_.CreateNativeWindow(events, style, caption);
  }
  std::unique_ptr<velloway::forms::TimerDriver> CreateTimer(std::function<void()> onTick) override {
    if (!timeTicks_) return inner_.CreateTimer(std::move(onTick));
    return inner_.CreateTimer([this, onTick = std::move(onTick)] { timings_.Time(onTick); });
  }
  std::unique_ptr<velloway::forms::FrameDriver> CreateFrameDriver(
      std::function<void(const velloway::forms::DisplayFrame&)> onFrame) override {
    return inner_.CreateFrameDriver(
        [this, onFrame = std::move(onFrame)](const velloway::forms::DisplayFrame& frame) {
          timings_.Time([&] { onFrame(frame); });
        });
  }
  velloway::forms::TextExtent MeasureText(const velloway::forms::FontSpec& font,
                                          std::string_view text) override {
    return inner_.MeasureText(font, text);
  }
  velloway::forms::PhaseImages CreateTextImages(const velloway::forms::FontSpec& font,
                                                std::string_view text,
                                                velloway::forms::TextImageSpan span,
                                                velloway::forms::PhaseSet phases,
                                                velloway::Color color,
                                                velloway::Color background) override {
    return inner_.CreateTextImages(font, text, span, phases, color, background);
  }
  velloway::forms::ScreenMetrics Screen() override { return inner_.Screen(); }
  std::string ScriptFolder() override { return inner_.ScriptFolder(); }
  std::vector<std::string> ListFiles(std::string_view directory,
                                     std::string_view pattern) override {
    return inner_.ListFiles(directory, pattern);
  }
  velloway::forms::SettingsStore& Settings() override { return inner_.Settings(); }
  velloway::forms::MusicDevice& Music() override { return inner_.Music(); }
  velloway::forms::ScriptFileNames FileNames() override { return inner_.FileNames(); }
  unsigned ScriptCodePage() override { return inner_.ScriptCodePage(); }
  std::optional<velloway::forms::PixelPoint> PointerPosition() override {
    return inner_.PointerPosition();
  }
  void RunWaitingEvents() override { inner_.RunWaitingEvents(); }
  [[noreturn]] void End() override { inner_.End(); }

 private:
  velloway::win32::Win32Backend& inner_;
  Timings& timings_;
  bool timeTicks_;
};

double Percentile(std::vector<double> values, double share) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto index =
      static_cast<std::size_t>(std::lround(share * static_cast<double>(values.size() - 1)));
  return values[index];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: frame_bench smooth|classic [--seconds N]\n");
    return 2;
  }
  const bool smooth = std::string_view(argv[1]) == "smooth";
  Timings timings;
  timings.endMs = 10'000;
  for (int i = 2; i + 1 < argc; ++i) {
    if (std::string_view(argv[i]) == "--seconds") timings.endMs = 1000.0 * std::atof(argv[i + 1]);
  }
  velloway::win32::Win32Backend windows;
  TimedBackend backend(windows, timings, !smooth);
  const velloway::forms::Application app(backend, backend.Settings());
  velloway::SaverWindow saver(backend, velloway::ReadChosenScript(app, backend), {smooth, false});
  saver.Show();
  timings.window = reinterpret_cast<HWND>(saver.Id());
  windows.RunMessageLoop();

  std::vector<double> intervals;
  for (std::size_t i = 1; i < timings.starts.size(); ++i) {
    intervals.push_back(timings.starts[i] - timings.starts[i - 1]);
  }
  if (intervals.empty()) {
    std::fprintf(stderr, "frame_bench: no frames\n");
    return 1;
  }
  const double seconds = (timings.starts.back() - timings.starts.front()) / 1000.0;
  const auto screen = windows.Screen();
  std::printf(
      "%s %dx%d at %d Hz: %.1f frames/s; interval median %.2f ms, p99 %.2f ms; "
      "work median %.3f ms, p99 %.3f ms, max %.3f ms (%zu frames)\n",
      smooth ? "smooth" : "classic", screen.WidthPx, screen.HeightPx, screen.RefreshHz,
      static_cast<double>(intervals.size()) / seconds, Percentile(intervals, 0.5),
      Percentile(intervals, 0.99), Percentile(timings.work, 0.5), Percentile(timings.work, 0.99),
      Percentile(timings.work, 1.0), timings.work.size());
  return 0;
}
