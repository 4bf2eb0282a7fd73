// The headless backend keeps the promises of the real ones that the windows rely on.
#include "platform/headless/headless_backend.h"

#include <gtest/gtest.h>

#include <memory>

namespace velloway::headless {
namespace {

TEST(HeadlessBackend, ATimerMayDestroyItselfInItsTick) {
  HeadlessBackend backend;
  int ticks = 0;
  std::unique_ptr<forms::TimerDriver> timer;
  // The handler reads what it holds after its timer is gone, as a window closing in its tick
  // goes on with its own members.
  timer = backend.CreateTimer([&timer, &ticks] {
    timer.reset();
    ++ticks;
  });
  timer->Run(10);
  backend.AdvanceTime(100);
  EXPECT_EQ(ticks, 1);
}

}  // namespace
}  // namespace velloway::headless
