#include "timeline.h"

#include <filesystem>

#include "roll/roll_engine.h"
#include "script/script_loader.h"

namespace velloway::check {
namespace {

// A roll that has not come round within this many ticks is cut short: a loop of a 100 ms roll
// would take more than eleven days.
constexpr std::int64_t kMaxTicks = 10'000'000;

std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

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
  const std::filesystem::path script(std::u8string(path.begin(), path.end()));
  headless::HeadlessBackend backend;
  backend.SetScreen(options.Screen);
  if (options.LineHeight) {
    const int height = *options.LineHeight;
    backend.SetTextMetrics([height](const forms::FontSpec&, std::string_view text) {
      return forms::TextExtent{static_cast<int>(text.size()) * height / 2, height};
    });
  } else if (options.Metrics) {
    backend.SetTextMetrics(options.Metrics);
  }

  // The script read as the saver reads the one chosen for it, in the backend's code page.
  RollEngine engine(backend, LoadChosenScript(Utf8(std::filesystem::absolute(script).parent_path()),
                                              Utf8(script.filename()), backend.ScriptCodePage()));
  Timeline timeline;
  LoopRecorder recorder(timeline);
  const RollEngine::Listening listening(engine, recorder);
  engine.Start();
  timeline.IntervalMs = engine.TickInterval();
  if (timeline.IntervalMs == 0 || engine.Script().RecordCount() == 0) return timeline;
  while (!recorder.Looped() && recorder.Tick() < kMaxTicks) {
    recorder.NextTick();
    engine.Tick();
  }
  const double secondsPerTick = timeline.IntervalMs / 1000.0;
  for (TimelineEntry& entry : timeline.Entries)
    entry.Seconds = static_cast<double>(entry.Tick) * secondsPerTick;
  timeline.LoopSeconds = static_cast<double>(timeline.LoopTicks) * secondsPerTick;
  return timeline;
}

}  // namespace velloway::check
