#pragma once
// What the frame benchmarks of both platforms share: the record of each frame's start and work,
// the count of frames the screen showed differently from the one before, the backend that times
// the roll's frames (or, classic, its ticks), and the figures printed. Each platform's main
// gives only its own steps: painting a frame now, reading back the window's centre strip, and
// ending the run.
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/backend.h"

namespace velloway::bench {

// A platform's steps around each frame.
struct FrameSteps {
  // Paints what the frame asked for, at once (timed with the frame).
  std::function<void()> paint;
  // A vertical strip of the window across its full height at its horizontal centre, as shown.
  std::function<std::vector<std::uint8_t>()> readStrip;
  // Ends the run once the measured seconds are over.
  std::function<void()> stop;
};

// The width of the strip read back: wide enough that a centred line of names always crosses it.
inline constexpr int kStripWidth = 64;

// The command line both mains take: the mode, the seconds measured, and an option's value.
struct BenchArguments {
  bool smooth = false;
  double seconds = 10;
};
std::optional<BenchArguments> ParseArguments(int argc, char** argv);
const char* OptionValue(int argc, char** argv, std::string_view name);

// The start and work of each frame or tick once the roll has settled, and whether the strip the
// frame before painted differed from the one before it. The strip is read just before each
// frame's work, outside its timing: it then shows what stood on the screen since the last frame.
class FrameTimings {
 public:
  explicit FrameTimings(double measuredMs) : measuredMs_(measuredMs) {}
  void SetSteps(FrameSteps steps) { steps_ = std::move(steps); }

  // Runs a frame or tick and its paint, and times them.
  void Time(const std::function<void()>& handler);

  // The figures on one line; false when no frame was timed.
  bool Print(std::string_view mode, const platform::ScreenMetrics& screen) const;

 private:
  static constexpr double kSettleMs = 2000;
  double measuredMs_;
  double firstMs_ = -1;
  bool done_ = false;
  FrameSteps steps_;
  std::vector<double> starts_;
  std::vector<double> work_;
  std::vector<std::uint8_t> shown_;
  std::size_t distinct_ = 0;
};

// A backend that times the frames (or, classic, the timer's ticks) of the backend it wraps.
class TimedBackend final : public platform::Backend {
 public:
  TimedBackend(platform::Backend& inner, FrameTimings& timings, bool timeTicks)
      : inner_(inner), timings_(timings), timeTicks_(timeTicks) {}

  std::unique_ptr<platform::NativeWindow> CreateNativeWindow(platform::WindowEvents& events,
                                                             const platform::WindowStyle& style,
                                                             std::string_view caption) override {
    return inner_.CreateNativeWindow(events, style, caption);
  }
  std::unique_ptr<platform::TimerDriver> CreateTimer(std::function<void()> onTick) override;
  std::unique_ptr<platform::FrameDriver> CreateFrameDriver(
      std::function<void(const platform::DisplayFrame&)> onFrame) override;
  platform::TextExtent MeasureText(const platform::FontSpec& font, std::string_view text) override {
    return inner_.MeasureText(font, text);
  }
  platform::PhaseImages CreateTextImages(const platform::FontSpec& font, std::string_view text,
                                         platform::TextImageSpan span, platform::PhaseSet phases,
                                         Color color, Color background) override {
    return inner_.CreateTextImages(font, text, span, phases, color, background);
  }
  platform::ScreenMetrics Screen() override { return inner_.Screen(); }
  std::string ScriptFolder() override { return inner_.ScriptFolder(); }
  std::vector<std::string> ListFiles(std::string_view directory,
                                     std::string_view pattern) override {
    return inner_.ListFiles(directory, pattern);
  }
  platform::SettingsStore& Settings() override { return inner_.Settings(); }
  platform::MusicDevice& Music() override { return inner_.Music(); }
  platform::ScriptFileNames FileNames() override { return inner_.FileNames(); }
  unsigned ScriptCodePage() override { return inner_.ScriptCodePage(); }
  std::optional<platform::PixelPoint> PointerPosition() override {
    return inner_.PointerPosition();
  }
  void RunWaitingEvents() override { inner_.RunWaitingEvents(); }
  [[noreturn]] void End() override {
    inner_.End();
    std::abort();  // the compiler cannot see that a virtual End does not return either
  }

 private:
  platform::Backend& inner_;
  FrameTimings& timings_;
  bool timeTicks_;
};

}  // namespace velloway::bench
