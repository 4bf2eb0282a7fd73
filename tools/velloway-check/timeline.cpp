#include "timeline.h"

#include <algorithm>
#include <limits>

#include "roll/roll_engine.h"
#include "script/script_loader.h"

namespace velloway::check {
namespace {

// Notes each record the roll dispatches until the first comes again: one loop of the script.
class LoopRecorder : public RollListener {
 public:
  explicit LoopRecorder(Timeline& timeline) : timeline_(timeline) {}

  void NextTick() { ++tick_; }
  std::int64_t Tick() const { return tick_; }
  bool Looped() const { return looped_; }

 private:
  void OnRecordDispatched(std::int32_t index, const RollRecord& record) override {
    if (index == 1 && !timeline_.Entries.empty()) {
      looped_ = true;
      timeline_.LoopTicks = tick_ - timeline_.Entries.front().Tick;
      return;
    }
    if (looped_) return;
    timeline_.Entries.push_back({tick_, 0, index, record.CommandText()});
  }

  Timeline& timeline_;
  std::int64_t tick_ = 0;
  bool looped_ = false;
};

}  // namespace

Timeline PlayTimeline(const std::string& path, const TimelineOptions& options) {
  headless::HeadlessBackend backend;
  backend.SetScreen(options.Screen);
  backend.SetScriptCodePage(options.CodePage);
  if (options.LineHeight) {
    const int height = *options.LineHeight;
    backend.SetTextMetrics([height](const platform::FontSpec&, std::string_view text) {
      const std::int64_t width = static_cast<std::int64_t>(text.size()) * height / 2;
      return platform::TextExtent{
          static_cast<int>(std::min<std::int64_t>(width, std::numeric_limits<int>::max())), height};
    });
  } else if (options.Metrics) {
    backend.SetTextMetrics(options.Metrics);
  }

  // The script read as the saver reads it, in the backend's code page.
  RollEngine engine(backend, backend, LoadScriptFile(path, backend.ScriptCodePage()));
  Timeline timeline;
  LoopRecorder recorder(timeline);
  const RollEngine::Listening listening(engine, recorder);
  engine.Start();
  timeline.IntervalMs = engine.TickInterval();
  if (timeline.IntervalMs == 0 || engine.Script().RecordCount() == 0) return timeline;
  // One tick past the limit: a roll that has not come round by then is longer than the limit.
  while (!recorder.Looped() && recorder.Tick() <= options.MaxTicks) {
    recorder.NextTick();
    engine.Tick();
  }
  if (!recorder.Looped()) {
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
