// When ticks and frames fall due, as every backend schedules them.
#include "platform/tick_schedule.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace velloway::platform {
namespace {

using std::chrono::milliseconds;

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
    const ClockTime start = milliseconds(7);
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
  schedule.Start(ClockTime{}, milliseconds(100));
  EXPECT_TRUE(schedule.DueBy(milliseconds(100)));
  schedule.Start(ClockTime{}, milliseconds(0));
  EXPECT_FALSE(schedule.Running());
  EXPECT_FALSE(schedule.DueBy(milliseconds(1000)));
}

struct FrameCase {
  const char* what;
  int refreshHz;
  std::vector<int> takenAtUs;  // when each frame is taken, from the start
  std::vector<int> dueUs;      // when the next frame is due after each
};

TEST(FrameSchedule, FramesAtTheRefreshRateFromTheStartAndMissedOnesSkipped) {
  const FrameCase cases[] = {
      {"on time at 60 Hz", 60, {16666, 33333, 50000}, {33333, 50000, 66666}},
      {"late frames do not delay the next", 60, {17000, 40000}, {33333, 50000}},
      {"frames missed in a stall are skipped", 60, {16666, 100001}, {33333, 116666}},
      {"taken early, a frame still moves on by one", 100, {9999, 10000}, {20000, 30000}},
      {"no rate counts as 1 Hz", 0, {1'000'000}, {2'000'000}},
  };
  for (const FrameCase& c : cases) {
    const ClockTime start(12'345);
    FrameSchedule schedule;
    schedule.Start(start, c.refreshHz);
    std::vector<int> due;
    for (const int at : c.takenAtUs) {
      schedule.TakeFrame(start + ClockTime(at));
      due.push_back(static_cast<int>((schedule.Due() - start).count()));
    }
    EXPECT_EQ(due, c.dueUs) << c.what;
  }
}

TEST(FrameSchedule, AFrameIsShownAtItsDueTimeAndANewRateStartsFromIt) {
  const struct {
    int atUs;
    int refreshHz;
    int shownUs;  // the frame's time, however late it is taken
    int nextDueUs;
  } frames[] = {
      {17000, 60, 16666, 33333},
      {40000, 60, 33333, 50000},
      {45000, 120, 45000, 53333},  // a new rate: frames from this one on, at 120 Hz
      {54000, 120, 53333, 61666},
  };
  FrameSchedule schedule;
  schedule.Start(ClockTime(0), 60);
  for (const auto& frame : frames) {
    EXPECT_EQ(schedule.TakeFrame(ClockTime(frame.atUs), frame.refreshHz).count(), frame.shownUs)
        << "at " << frame.atUs;
    EXPECT_EQ(schedule.Due().count(), frame.nextDueUs) << "at " << frame.atUs;
  }
}

}  // namespace
}  // namespace velloway::platform
