// When the Linux program's ticks fall due.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "platform/x11/tick_schedule.h"

namespace velloway::x11 {
namespace {

using std::chrono::milliseconds;
using Clock = TickSchedule::Clock;

struct ScheduleCase {
  const char* what;
  int intervalMs;
  std::vector<int> takenAtMs;  // when each tick is taken, from the start
  std::vector<int> dueMs;      // when the next tick is due after each
};

TEST(TickSchedule, TicksAtWholeIntervalsFromTheStartAndCatchUpOnceAfterAStall) {
  const ScheduleCase cases[] = {
      {"on time", 100, {100, 200, 300}, {200, 300, 400}},
      {"late ticks do not delay the next", 100, {130, 215, 390}, {200, 300, 400}},
      {"a stall gives one tick at once, then whole intervals",
       100,
       {100, 560, 560, 660},
       {200, 560, 660, 760}},
      {"slow timer", 500, {520, 1000, 2700, 2710}, {1000, 1500, 2700, 3200}},
  };
  for (const ScheduleCase& c : cases) {
    const Clock::time_point start{};
    TickSchedule schedule;
    schedule.Start(start, milliseconds(c.intervalMs));
    EXPECT_EQ(schedule.Due(), start + milliseconds(c.intervalMs)) << c.what;
    std::vector<int> due;
    for (const int at : c.takenAtMs) {
      schedule.TakeTick(start + milliseconds(at));
      due.push_back(static_cast<int>(
          std::chrono::duration_cast<milliseconds>(schedule.Due() - start).count()));
    }
    EXPECT_EQ(due, c.dueMs) << c.what;
  }
}

TEST(TickSchedule, AnIntervalOfZeroStopsIt) {
  TickSchedule schedule;
  schedule.Start(Clock::time_point{}, milliseconds(100));
  EXPECT_TRUE(schedule.Running());
  schedule.Start(Clock::time_point{}, milliseconds(0));
  EXPECT_FALSE(schedule.Running());
}

}  // namespace
}  // namespace velloway::x11
