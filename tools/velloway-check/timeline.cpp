#include "timeline.h"

#include <algorithm>
#include <filesystem>
#include <limits>

#include "identity/program_identity.h"
#include "roll/saver_window.h"

namespace velloway::check {
namespace {

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
  backend.SetScriptCodePage(options.CodePage);
  backend.SettingsStore().Write(identity::kAppName, identity::kSettingSection,
                                identity::kScriptFileNameKey, Utf8(script.filename()));
  if (options.LineHeight) {
    const int height = *options.LineHeight;
    backend.SetTextMetrics([height](const forms::FontSpec&, std::string_view text) {
      const std::int64_t width = static_cast<std::int64_t>(text.size()) * height / 2;
      return forms::TextExtent{
          static_cast<int>(std::min<std::int64_t>(width, std::numeric_limits<int>::max())), height};
    });
  } else if (options.Metrics) {
    backend.SetTextMetrics(options.Metrics);
  }

  Timeline timeline;
  SaverWindow saver(backend, options.Roll);
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
  // One tick past the limit: a roll that has not come round by then is longer than the limit.
  while (!looped && tick <= options.MaxTicks) {
    ++tick;
    backend.AdvanceTime(timeline.IntervalMs);
  }
  if (!looped) {
    timeline.LoopCutShort = true;
    timeline.LoopTicks = options.MaxTicks;
  }
  const double secondsPerTick = timeline.IntervalMs / 1000.0;
  for (TimelineEntry& entry : timeline.Entries)
    entry.Seconds = static_cast<double>(entry.Tick) * secondsPerTick;
  timeline.LoopSeconds = static_cast<double>(timeline.LoopTicks) * secondsPerTick;
  return timeline;
}

}  // namespace velloway::check
