#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/headless/headless_backend.h"

namespace velloway::check {

struct TimelineEntry {
  std::int64_t Tick = 0;
  double Seconds = 0;  // when the tick comes, counted from the start of the saver
  std::int32_t Record = 0;
  std::string Command;
};

struct Timeline {
  std::int32_t IntervalMs = 0;         // 0: the roll does not play
  std::vector<TimelineEntry> Entries;  // one loop of the script
  std::int64_t LoopTicks = 0;
  double LoopSeconds = 0;
};

struct TimelineOptions {
  forms::ScreenMetrics Screen;
  // How lines are measured: every line this many pixels high when set, else Metrics.
  std::optional<int> LineHeight;
  headless::HeadlessBackend::TextMetrics Metrics;
};

// Plays the script at `path` through the saver's own roll engine, measuring its lines as the
// saver's labels do on the headless backend, without a window, until the script has run through
// once, and returns each dispatched record.
Timeline PlayTimeline(const std::string& path, const TimelineOptions& options);

}  // namespace velloway::check
