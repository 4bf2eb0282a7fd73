#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/headless/headless_backend.h"
#include "platform/screens.h"

namespace velloway::check {

struct TimelineEntry {
  std::int64_t Tick = 0;
  double Seconds = 0;  // when the tick comes, counted from the start of the saver
  std::int32_t Record = 0;
  std::string Command;
};

// A roll that has not come round within this many ticks is cut short: a loop of a 100 ms roll
// would take more than eleven days.
inline constexpr std::int64_t kMaxTimelineTicks = 10'000'000;

// The tallest line --line-height measures, in pixels: well above a 1000-point line.
inline constexpr int kMaxLineHeight = 10'000;

struct Timeline {
  std::int32_t IntervalMs = 0;         // 0: the roll does not play
  std::vector<TimelineEntry> Entries;  // one loop of the script
  std::int64_t LoopTicks = 0;
  double LoopSeconds = 0;
  // The roll did not come round within the ticks played (TimelineOptions::MaxTicks): the loop is
  // longer than LoopTicks, and Entries hold the records dispatched until then.
  bool LoopCutShort = false;
};

struct TimelineOptions {
  platform::ScreenMetrics Screen;
  // How lines are measured: every line this many pixels high (1..kMaxLineHeight) when set, else
  // Metrics.
  std::optional<int> LineHeight;
  headless::HeadlessBackend::TextMetrics Metrics;
  // The code page of a script saved in a legacy encoding.
  unsigned CodePage = platform::kDefaultCodePage;
  // How long the roll is played at most, in ticks.
  std::int64_t MaxTicks = kMaxTimelineTicks;
};

// Plays the script at `path` through the saver's own roll engine, measuring its lines as the
// saver's labels do on the headless backend, without a window, until the script has run through
// once (or for MaxTicks), and returns each dispatched record.
Timeline PlayTimeline(const std::string& path, const TimelineOptions& options);

}  // namespace velloway::check
