#include "frame_timing.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace velloway::bench {
namespace {

double NowMs() {
  return std::chrono::duration<double, std::milli>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

double Percentile(std::vector<double> values, double share) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto index =
      static_cast<std::size_t>(std::lround(share * static_cast<double>(values.size() - 1)));
  return values[index];
}

}  // namespace

const char* OptionValue(int argc, char** argv, std::string_view name) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string_view(argv[i]) == name) return argv[i + 1];
  }
  return nullptr;
}

std::optional<BenchArguments> ParseArguments(int argc, char** argv) {
  if (argc < 2) return std::nullopt;
  const std::string_view mode = argv[1];
  if (mode != "smooth" && mode != "classic") return std::nullopt;
  BenchArguments arguments;
  arguments.smooth = mode == "smooth";
  if (const char* seconds = OptionValue(argc, argv, "--seconds")) {
    arguments.seconds = std::atof(seconds);
  }
  return arguments;
}

void FrameTimings::Time(const std::function<void()>& handler) {
  // Frames while the window opens, before its steps are known, and after the end run untimed.
  if (done_ || !steps_.readStrip) {
    handler();
    return;
  }
  // What the last frame painted, read before this one starts.
  std::vector<std::uint8_t> shown = steps_.readStrip();
  const double start = NowMs();
  if (firstMs_ < 0) firstMs_ = start;
  const bool settled = start - firstMs_ >= kSettleMs;
  if (settled && !starts_.empty() && shown != shown_) ++distinct_;
  shown_ = std::move(shown);
  handler();
  steps_.paint();
  if (!settled) return;
  starts_.push_back(start);
  work_.push_back(NowMs() - start);
  if (start >= firstMs_ + kSettleMs + measuredMs_) {
    done_ = true;
    steps_.stop();
  }
}

bool FrameTimings::Print(std::string_view mode, const platform::ScreenMetrics& screen) const {
  std::vector<double> intervals;
  for (std::size_t i = 1; i < starts_.size(); ++i) intervals.push_back(starts_[i] - starts_[i - 1]);
  if (intervals.empty()) return false;
  const double seconds = (starts_.back() - starts_.front()) / 1000.0;
  std::printf(
      "%.*s %dx%d at %d Hz: %.1f frames/s, %.1f distinct frames/s; interval median %.2f ms, "
      "p99 %.2f ms; work median %.3f ms, p99 %.3f ms, max %.3f ms (%zu frames)\n",
      static_cast<int>(mode.size()), mode.data(), screen.WidthPx, screen.HeightPx, screen.RefreshHz,
      static_cast<double>(intervals.size()) / seconds, static_cast<double>(distinct_) / seconds,
      Percentile(intervals, 0.5), Percentile(intervals, 0.99), Percentile(work_, 0.5),
      Percentile(work_, 0.99), Percentile(work_, 1.0), work_.size());
  std::fflush(stdout);
  return true;
}

std::unique_ptr<platform::TimerDriver> TimedBackend::CreateTimer(std::function<void()> onTick) {
  if (!timeTicks_) return inner_.CreateTimer(std::move(onTick));
  return inner_.CreateTimer([this, onTick = std::move(onTick)] { timings_.Time(onTick); });
}

std::unique_ptr<platform::FrameDriver> TimedBackend::CreateFrameDriver(
    std::function<void(const platform::DisplayFrame&)> onFrame) {
  return inner_.CreateFrameDriver(
      [this, onFrame = std::move(onFrame)](const platform::DisplayFrame& frame) {
        timings_.Time([&] { onFrame(frame); });
      });
}

}  // namespace velloway::bench
