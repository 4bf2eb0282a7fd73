#include "platform/clock_drivers.h"

#include <algorithm>
#include <utility>

#include "platform/driver_handler.h"

namespace velloway::platform {

// A timer or a frame driver as the clock runs it.
class ClockDrivers::Driver {
 public:
  explicit Driver(ClockDrivers& clock) : clock_(clock) { clock_.drivers_.push_back(this); }
  virtual ~Driver() { std::erase(clock_.drivers_, this); }
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;

  // When it is due next; nothing while it does not run.
  virtual std::optional<ClockTime> Due() const = 0;
  // Runs it now, as due.
  virtual void Run() = 0;
  // Ticks come before frames due at the same moment.
  virtual int Rank() const = 0;

 protected:
  ClockTime Now() const { return clock_.now_(); }
  int RefreshHz() const { return clock_.screens_.Screen().RefreshHz; }

 private:
  ClockDrivers& clock_;
};

class ClockDrivers::Timer final : public Driver, public TimerDriver {
 public:
  Timer(ClockDrivers& clock, std::function<void()> onTick)
      : Driver(clock), onTick_(std::move(onTick)) {}

  void Run(std::int32_t intervalMs) override {
    schedule_.Start(Now(), std::chrono::milliseconds(intervalMs));
  }
  std::optional<ClockTime> Due() const override {
    if (!schedule_.Running()) return std::nullopt;
    return schedule_.Due();
  }
  void Run() override {
    schedule_.TakeTick(Now());
    onTick_();
  }
  int Rank() const override { return 0; }

 private:
  DriverHandler<> onTick_;
  TickSchedule schedule_;
};

class ClockDrivers::Frames final : public Driver, public FrameDriver {
 public:
  Frames(ClockDrivers& clock, std::function<void(const DisplayFrame&)> onFrame)
      : Driver(clock), onFrame_(std::move(onFrame)) {}

  void Start() override { schedule_.Start(Now(), RefreshHz()); }
  void Stop() override { schedule_.Stop(); }
  std::optional<ClockTime> Due() const override {
    if (!schedule_.Running()) return std::nullopt;
    return schedule_.Due();
  }
  void Run() override {
    const int refreshHz = RefreshHz();
    onFrame_({schedule_.TakeFrame(Now(), refreshHz).count(), refreshHz});
  }
  int Rank() const override { return 1; }

 private:
  DriverHandler<const DisplayFrame&> onFrame_;
  FrameSchedule schedule_;
};

ClockDrivers::ClockDrivers(std::function<ClockTime()> now, Screens& screens)
    : now_(std::move(now)), screens_(screens) {}

ClockDrivers::~ClockDrivers() = default;

std::unique_ptr<TimerDriver> ClockDrivers::CreateTimer(std::function<void()> onTick) {
  return std::make_unique<Timer>(*this, std::move(onTick));
}

std::unique_ptr<FrameDriver> ClockDrivers::CreateFrameDriver(
    std::function<void(const DisplayFrame&)> onFrame) {
  return std::make_unique<Frames>(*this, std::move(onFrame));
}

std::optional<ClockTime> ClockDrivers::NextDue() const {
  std::optional<ClockTime> next;
  for (const Driver* driver : drivers_) {
    const std::optional<ClockTime> due = driver->Due();
    if (due && (!next || *due < *next)) next = due;
  }
  return next;
}

ClockDrivers::Driver* ClockDrivers::FirstDue(ClockTime by) const {
  Driver* first = nullptr;
  for (Driver* driver : drivers_) {
    const std::optional<ClockTime> due = driver->Due();
    if (!due || *due > by) continue;
    if (first == nullptr || *due < *first->Due() ||
        (*due == *first->Due() && driver->Rank() < first->Rank())) {
      first = driver;
    }
  }
  return first;
}

bool ClockDrivers::RunFirstDue(ClockTime by) {
  Driver* first = FirstDue(by);
  if (first == nullptr) return false;
  first->Run();
  return true;
}

void ClockDrivers::RunEachDue(ClockTime by) {
  // Each driver due now, with the time it is due: a handler may make, stop or destroy drivers.
  std::vector<std::pair<Driver*, ClockTime>> due;
  for (Driver* driver : drivers_) {
    const std::optional<ClockTime> at = driver->Due();
    if (at && *at <= by) due.emplace_back(driver, *at);
  }
  std::stable_sort(due.begin(), due.end(), [](const auto& a, const auto& b) {
    return a.second < b.second || (a.second == b.second && a.first->Rank() < b.first->Rank());
  });
  for (const auto& [driver, at] : due) {
    const bool kept = std::find(drivers_.begin(), drivers_.end(), driver) != drivers_.end();
    if (kept && driver->Due() == at) driver->Run();
  }
}

}  // namespace velloway::platform
