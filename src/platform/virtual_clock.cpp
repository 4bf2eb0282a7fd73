#include "platform/virtual_clock.h"

#include <algorithm>
#include <limits>

#include "platform/driver_handler.h"

namespace velloway::platform {
namespace {

constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

}  // namespace

class VirtualClock::Timer : public TimerDriver {
 public:
  Timer(VirtualClock& clock, std::function<void()> onTick)
      : clock_(clock), onTick_(std::move(onTick)) {
    clock_.timers_.push_back(this);
  }
  ~Timer() override { std::erase(clock_.timers_, this); }

  void Run(std::int32_t intervalMs) override {
    schedule_.Start(clock_.Now(), std::chrono::milliseconds(intervalMs));
  }

  std::int64_t Due() const { return schedule_.Running() ? schedule_.Due().count() : kNever; }
  void Tick() {
    schedule_.TakeTick(clock_.Now());
    onTick_();
  }

 private:
  VirtualClock& clock_;
  DriverHandler<> onTick_;
  TickSchedule schedule_;
};

class VirtualClock::Frames : public FrameDriver {
 public:
  Frames(VirtualClock& clock, std::function<void(const DisplayFrame&)> onFrame)
      : clock_(clock), onFrame_(std::move(onFrame)) {
    clock_.frames_.push_back(this);
  }
  ~Frames() override { std::erase(clock_.frames_, this); }

  void Start() override { schedule_.Start(clock_.Now(), clock_.screens_.Screen().RefreshHz); }
  void Stop() override { schedule_.Stop(); }

  std::int64_t Due() const { return schedule_.Running() ? schedule_.Due().count() : kNever; }
  void Frame() {
    const int refreshHz = clock_.screens_.Screen().RefreshHz;
    onFrame_({schedule_.TakeFrame(clock_.Now(), refreshHz).count(), refreshHz});
  }

 private:
  VirtualClock& clock_;
  DriverHandler<const DisplayFrame&> onFrame_;
  FrameSchedule schedule_;
};

VirtualClock::~VirtualClock() = default;

std::unique_ptr<TimerDriver> VirtualClock::CreateTimer(std::function<void()> onTick) {
  return std::make_unique<Timer>(*this, std::move(onTick));
}

std::unique_ptr<FrameDriver> VirtualClock::CreateFrameDriver(
    std::function<void(const DisplayFrame&)> onFrame) {
  return std::make_unique<Frames>(*this, std::move(onFrame));
}

void VirtualClock::Advance(std::int64_t microseconds) {
  const std::int64_t target = now_ + microseconds;
  while (!stopped_) {
    const auto timer = std::min_element(timers_.begin(), timers_.end(),
                                        [](Timer* a, Timer* b) { return a->Due() < b->Due(); });
    const auto frame = std::min_element(frames_.begin(), frames_.end(),
                                        [](Frames* a, Frames* b) { return a->Due() < b->Due(); });
    const std::int64_t timerDue = timer == timers_.end() ? kNever : (*timer)->Due();
    const std::int64_t frameDue = frame == frames_.end() ? kNever : (*frame)->Due();
    if (std::min(timerDue, frameDue) > target) break;
    if (timerDue <= frameDue) {
      now_ = timerDue;
      (*timer)->Tick();
    } else {
      now_ = frameDue;
      (*frame)->Frame();
    }
  }
  if (!stopped_) now_ = std::max(now_, target);  // a nested Advance may have gone further
}

}  // namespace velloway::platform
