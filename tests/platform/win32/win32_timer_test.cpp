// The Windows backend's timers: their ticks through the message loop and their schedule (under
// Wine in the build). The tests skip where the timers' window cannot be made.
#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <thread>
#include <vector>

#include "platform/backend.h"
#include "platform/win32/window_test_fixture.h"

namespace velloway::win32 {
namespace {

TEST_F(WindowTest, TimersTickThroughTheMessageLoopUntilStopped) {
  int ticks = 0;
  const auto timer = backend_.CreateTimer([&] { ++ticks; });
  timer->Run(10);
  if (!PumpUntil([&] { return ticks >= 3; })) GTEST_SKIP() << "no timer window here";
  timer->Run(0);
  const int stopped = ticks;
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  backend_.RunWaitingEvents();
  EXPECT_EQ(ticks, stopped);
}

TEST_F(WindowTest, RunWaitingEventsReturnsWhenATickOutlastsItsInterval) {
  int ticks = 0;
  const auto timer = backend_.CreateTimer([&] {
    ++ticks;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  });
  timer->Run(10);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  backend_.RunWaitingEvents();
  if (ticks == 0) GTEST_SKIP() << "no timer window here";
  EXPECT_EQ(ticks, 1);
}

// Ticks are due at fixed times from Run; the system may ring a timer up to one clock period
// (15.6 ms on Windows) before the time asked for.
constexpr auto kClockSlack = std::chrono::milliseconds(16);

class TickTimes {
 public:
  void Record() { times_.push_back(std::chrono::steady_clock::now()); }
  std::size_t Count() const { return times_.size(); }
  // The time from `since` to tick `n` (numbered from 1).
  std::chrono::steady_clock::duration At(std::size_t n,
                                         std::chrono::steady_clock::time_point since) const {
    return times_.at(n - 1) - since;
  }
  std::chrono::steady_clock::time_point Time(std::size_t n) const { return times_.at(n - 1); }

 private:
  std::vector<std::chrono::steady_clock::time_point> times_;
};

TEST_F(WindowTest, TicksNeverRunAheadOfTheirSchedule) {
  using std::chrono::milliseconds;
  TickTimes ticks;
  const auto timer = backend_.CreateTimer([&] { ticks.Record(); });
  const auto start = std::chrono::steady_clock::now();
  timer->Run(20);
  if (!PumpUntil([&] { return ticks.Count() >= 10; }, std::chrono::seconds(5))) {
    GTEST_SKIP() << "no timer window here";
  }
  // However late one tick is, none comes before its time: n ticks take at least n intervals.
  for (std::size_t n = 1; n <= 10; ++n) {
    SCOPED_TRACE(n);
    EXPECT_GE(ticks.At(n, start), milliseconds(20 * static_cast<int>(n)) - kClockSlack);
  }
}

TEST_F(WindowTest, AStalledTickIsFollowedByOneTickAtOnceNotABurst) {
  using std::chrono::milliseconds;
  constexpr int kInterval = 100;
  TickTimes ticks;
  const auto timer = backend_.CreateTimer([&] {
    ticks.Record();
    // The first tick holds the thread for more than five intervals.
    if (ticks.Count() == 1) std::this_thread::sleep_for(milliseconds(5 * kInterval + 50));
  });
  timer->Run(kInterval);
  if (!PumpUntil([&] { return ticks.Count() >= 6; }, std::chrono::seconds(5))) {
    GTEST_SKIP() << "no timer window here";
  }
  // Tick 2 comes when the stall ends and tick 3 may follow at once; then the ticks are an
  // interval apart again, counted from tick 2, rather than making up the missed ones in a burst.
  EXPECT_GE(ticks.Time(6) - ticks.Time(2), milliseconds(3 * kInterval) - kClockSlack);
}

TEST_F(WindowTest, RunWithANewIntervalRestartsTheScheduleFromNow) {
  using std::chrono::milliseconds;
  TickTimes ticks;
  const auto timer = backend_.CreateTimer([&] { ticks.Record(); });
  timer->Run(10);
  if (!PumpUntil([&] { return ticks.Count() >= 3; })) GTEST_SKIP() << "no timer window here";
  const auto restart = std::chrono::steady_clock::now();
  timer->Run(150);
  const std::size_t before = ticks.Count();
  ASSERT_TRUE(PumpUntil([&] { return ticks.Count() > before; }, std::chrono::seconds(5)));
  EXPECT_GE(ticks.At(before + 1, restart), milliseconds(150) - kClockSlack);
}

TEST_F(WindowTest, ATimerMayDestroyItselfInItsTick) {
  int ticks = 0;
  std::unique_ptr<platform::TimerDriver> timer;
  timer = backend_.CreateTimer([&] {
    ++ticks;
    timer.reset();
  });
  timer->Run(10);
  if (!PumpUntil([&] { return ticks > 0; })) GTEST_SKIP() << "no timer window here";
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  backend_.RunWaitingEvents();
  EXPECT_EQ(ticks, 1);
}

}  // namespace
}  // namespace velloway::win32
