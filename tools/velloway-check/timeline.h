#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/headless/headless_backend.h"
#include "roll/roll_options.h"

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
  // How the saver shows the roll; its timing is the same either way.
  RollOptions Roll;
};

// Plays the script at `path` through the saver window's own roll engine, on the headless
// backend, until the script has run through once, and returns each dispatched record.
Timeline PlayTimeline(const std::string& path, const TimelineOptions& options);

}  // namespace velloway::check
