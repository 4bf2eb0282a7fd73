#include "platform/wayland/frame_pacer.h"

#include <wayland-client.h>

#include <algorithm>
#include <utility>

#include "platform/driver_handler.h"
#include "platform/tick_schedule.h"

namespace velloway::wayland {
namespace {

constexpr int kMillisecondsPerSecond = 1000;
// Periods the compositor may keep its word before the timer runs a frame in its place.
constexpr int kPatiencePeriods = 2;

}  // namespace

class FramePacer::Driver final : public platform::FrameDriver {
 public:
  Driver(FramePacer& pacer, std::function<void(const platform::DisplayFrame&)> onFrame)
      : pacer_(pacer), onFrame_(std::move(onFrame)) {
    pacer_.drivers_.push_back(this);
  }
  ~Driver() override { std::erase(pacer_.drivers_, this); }
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;

  void Start() override {
    schedule_.Start(posix::MonotonicTime(), pacer_.refreshHz_());
    pacer_.Rearm();
  }
  void Stop() override { schedule_.Stop(); }
  bool Running() const { return schedule_.Running(); }
  void Run() {
    const int refreshHz = pacer_.refreshHz_();
    onFrame_({schedule_.TakeFrame(posix::MonotonicTime(), refreshHz).count(), refreshHz});
  }

 private:
  FramePacer& pacer_;
  platform::DriverHandler<const platform::DisplayFrame&> onFrame_;
  platform::FrameSchedule schedule_;
};

FramePacer::FramePacer(posix::PollLoop& loop, std::function<int()> refreshHz,
                       std::function<void(std::function<void()>)> post)
    : refreshHz_(std::move(refreshHz)), post_(std::move(post)), fallback_(loop.CreateTimer([this] {
        // The word did not come: a new callback goes with the next commit.
        callback_.reset();
        RunFrames();
      })) {}

FramePacer::~FramePacer() = default;

std::unique_ptr<platform::FrameDriver> FramePacer::CreateDriver(
    std::function<void(const platform::DisplayFrame&)> onFrame) {
  return std::make_unique<Driver>(*this, std::move(onFrame));
}

bool FramePacer::Running() const {
  return std::any_of(drivers_.begin(), drivers_.end(),
                     [](const Driver* driver) { return driver->Running(); });
}

bool FramePacer::WantsWord() const {
  return !callback_ && Running();
}

void FramePacer::Await(wl_callback* callback) {
  callback_.reset(callback);
  static const wl_callback_listener listener = {OnDone};
  wl_callback_add_listener(callback, &listener, this);
}

void FramePacer::OnDone(void* data, wl_callback*, std::uint32_t) {
  auto& pacer = *static_cast<FramePacer*>(data);
  pacer.callback_.reset();
  pacer.post_([&pacer] { pacer.RunFrames(); });
}

void FramePacer::RunFrames() {
  Rearm();
  // A frame may stop, make or destroy drivers: each of those running now runs once, if still
  // there.
  const std::vector<Driver*> running = drivers_;
  for (Driver* driver : running) {
    if (std::find(drivers_.begin(), drivers_.end(), driver) != drivers_.end() &&
        driver->Running()) {
      driver->Run();
    }
  }
}

void FramePacer::Rearm() {
  if (!Running()) {
    fallback_->Run(0);
    return;
  }
  const int periodMs = (kMillisecondsPerSecond + refreshHz_() - 1) / std::max(refreshHz_(), 1);
  fallback_->Run(kPatiencePeriods * periodMs);
}

}  // namespace velloway::wayland
