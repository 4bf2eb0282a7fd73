#include "timeline.h"

#include <filesystem>

#include "identity/program_identity.h"
#include "roll/saver_window.h"

namespace velloway::check {
namespace {

// A roll that has not come round within this many ticks is cut short: a loop of a 100 ms roll
// would take more than eleven days.
constexpr std::int64_t kMaxTicks = 10'000'000;

std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace

Timeline PlayTimeline(const std::string& path, const TimelineOptions& options) {
  const std::filesystem::path script(std::u8string(path.begin(), path.end()));
  headless::HeadlessBackend backend;
  backend.SetScreen(options.Screen);
  backend.SetAppPath(Utf8(std::filesystem::absolute(script).parent_path()));
  backend.SettingsStore().Write(identity::kAppName, identity::kSettingSection,
                                identity::kScriptFileNameKey, Utf8(script.filename()));
  if (options.LineHeight) {
    const int height = *options.LineHeight;
    backend.SetTextMetrics([height](const forms::FontSpec&, std::string_view text) {
      return forms::TextExtent{static_cast<int>(text.size()) * height / 2, height};
    });
  } else if (options.Metrics) {
    backend.SetTextMetrics(options.Metrics);
  }

  Timeline timeline;
  SaverWindow saver(backend);
  std::int64_t tick = 0;
  bool looped = false;
  saver.SetDispatchObserver([&](std::int32_t record, const RollRecord& dispatched) {
    if (record == 1 && !timeline.Entries.empty()) {
      looped = true;
      timeline.LoopTicks = tick - timeline.Entries.front().Tick;
      return;
    }
    if (looped) return;
    timeline.Entries.push_back({tick, 0, record, dispatched.CommandText()});
  });
  saver.Show();
  timeline.IntervalMs = saver.TickTimer().Interval();
  if (timeline.IntervalMs == 0 || saver.Script().RecordCount() == 0) return timeline;
  while (!looped && tick < kMaxTicks) {
    ++tick;
    backend.AdvanceTime(timeline.IntervalMs);
  }
  const double secondsPerTick = timeline.IntervalMs / 1000.0;
  for (TimelineEntry& entry : timeline.Entries)
    entry.Seconds = static_cast<double>(entry.Tick) * secondsPerTick;
  timeline.LoopSeconds = static_cast<double>(timeline.LoopTicks) * secondsPerTick;
  return timeline;
}

}  // namespace velloway::check
