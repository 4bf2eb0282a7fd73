// The smooth-motion follower, checked frame by frame on simulated rolls: the engine's ticks as
// the roll engine makes them, the display's frames with jitter and late frames.
#include "roll/smooth_scroll.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

namespace velloway {
namespace {

constexpr std::int64_t kStep = 5;
constexpr std::int64_t kMaxLag = 10;
constexpr std::int64_t kSimulatedUs = 40'000'000;

// A small deterministic generator, so that every run on every platform sees the same frames.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  // Uniform in [low, high].
  std::int64_t Between(std::int64_t low, std::int64_t high) {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    z ^= z >> 31;
    return low + static_cast<std::int64_t>(z % static_cast<std::uint64_t>(high - low + 1));
  }

 private:
  std::uint64_t state_;
};

// The engine's ticks, one cycle of a roll: true moves the lines one step, false holds them.
using Ticks = std::vector<bool>;

Ticks operator+(Ticks a, const Ticks& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
// A TEXT record: the tick that places the line holds, then the spacing's steps.
Ticks Line(int steps) {
  Ticks ticks{false};
  ticks.insert(ticks.end(), static_cast<std::size_t>(steps), true);
  return ticks;
}
// Records that cost one holding tick each (CLEAR, BGM, an unknown command).
Ticks Holds(int records) {
  return Ticks(static_cast<std::size_t>(records), false);
}
// WAIT n: its dispatching tick and n seconds of ticks.
Ticks Wait(int seconds, std::int32_t intervalMs) {
  return Holds(1 + seconds * (1000 / intervalMs));
}

enum class Pattern { Lines, TinyLines, LongSpacing, Wait1, Wait3, SeveralRecords, Mixed };

Ticks Cycle(Pattern pattern, std::int32_t intervalMs) {
  switch (pattern) {
    case Pattern::Lines:  // 20-pixel lines, spacing 1
      return Line(5);
    case Pattern::TinyLines:  // lines of 5 pixels or less, or spacing 0
      return Line(1);
    case Pattern::LongSpacing:
      return Line(50);
    case Pattern::Wait1:
      return Line(5) + Line(5) + Wait(1, intervalMs);
    case Pattern::Wait3:
      return Line(5) + Line(5) + Wait(3, intervalMs);
    case Pattern::SeveralRecords:
      return Line(5) + Holds(3);
    case Pattern::Mixed:  // tiny lines straight into a long spacing, headings, pauses
      return Line(1) + Line(1) + Line(1) + Line(50) + Line(5) + Line(2) + Holds(2) + Line(9) +
             Line(0) + Line(17) + Line(1) + Line(3) + Wait(1, intervalMs) + Line(5);
  }
  return {};
}

std::int32_t Interval(int speed) {
  return speed == 3 ? 100 : speed == 2 ? 200 : 500;
}

// Frame times: the refresh rate's period with +/- jitterUs; with late frames, now and then a gap
// of 60 to 300 ms where the program was busy.
std::vector<std::int64_t> FrameTimes(double hz, std::int64_t jitterUs, bool lateFrames,
                                     Random& random) {
  std::vector<std::int64_t> times;
  std::int64_t busyUntil = 0;
  for (std::int64_t n = 1;; ++n) {
    const auto nominal = static_cast<std::int64_t>(std::llround(static_cast<double>(n) * 1e6 / hz));
    if (nominal > kSimulatedUs) return times;
    const std::int64_t t = nominal + random.Between(-jitterUs, jitterUs);
    if (t < busyUntil) continue;
    times.push_back(t);
    if (lateFrames && random.Between(0, 99) == 0) busyUntil = t + random.Between(60'000, 300'000);
  }
}

struct FrameRecord {
  std::int64_t timeUs;
  std::int64_t engine;  // D
  bool stepsNext;       // whether the engine's next tick steps
  double shown;         // S
};

// Frames as a program's frame handler sees them: +/- 3 ms off the display's period.
constexpr std::int64_t kHandlerJitterUs = 3000;

// Plays a roll from its start, its first tick at a random phase, into a follower.
std::vector<FrameRecord> Play(Pattern pattern, int speed, double hz, bool lateFrames,
                              std::uint64_t seed, std::int64_t jitterUs = kHandlerJitterUs) {
  const std::int32_t intervalMs = Interval(speed);
  const std::int64_t intervalUs = std::int64_t{intervalMs} * 1000;
  const Ticks cycle = Cycle(pattern, intervalMs);
  Random random(seed);
  std::int64_t nextTickUs = random.Between(1, intervalUs);
  std::size_t tick = 0;
  std::int64_t engine = 0;
  ScrollFollower follower(intervalMs, hz);
  std::vector<FrameRecord> frames;
  for (const std::int64_t t : FrameTimes(hz, jitterUs, lateFrames, random)) {
    for (; nextTickUs <= t; nextTickUs += intervalUs) {
      if (cycle[tick++ % cycle.size()]) engine += kStep;
    }
    const bool stepsNext = cycle[tick % cycle.size()];
    frames.push_back({t, engine, stepsNext, follower.Frame(t, engine, stepsNext)});
  }
  return frames;
}

std::int64_t FrameCap(int speed, double hz) {
  return static_cast<std::int64_t>(std::ceil(kStep * 1000.0 / Interval(speed) / hz)) + 1;
}

double Seconds(std::int64_t microseconds) {
  return static_cast<double>(microseconds) / 1e6;
}

// Never backwards, never ahead, at most the frame's allowance per frame.
void ExpectShownScrollFollows(const std::vector<FrameRecord>& frames, std::int64_t frameCap) {
  for (std::size_t i = 1; i < frames.size(); ++i) {
    const FrameRecord& f = frames[i];
    ASSERT_LE(f.shown, f.engine) << "ahead at " << f.timeUs;
    ASSERT_GE(f.shown, frames[i - 1].shown) << "backwards at " << f.timeUs;
    ASSERT_LE(f.shown - frames[i - 1].shown, static_cast<double>(frameCap) + 1e-9)
        << "too far in one frame at " << f.timeUs;
  }
}

void ExpectWithinMaxLag(const std::vector<FrameRecord>& frames) {
  for (const FrameRecord& f : frames) {
    ASSERT_LE(static_cast<double>(f.engine) - f.shown, kMaxLag) << "behind at " << f.timeUs;
  }
}

// The shown speed, frame to frame, changes by at most maxChange pixels per second per second.
void ExpectSpeedChangesWithin(const std::vector<FrameRecord>& frames, double maxChange) {
  for (std::size_t i = 2; i < frames.size(); ++i) {
    const auto speed = [&](std::size_t k) {
      return (frames[k].shown - frames[k - 1].shown) /
             Seconds(frames[k].timeUs - frames[k - 1].timeUs);
    };
    const double change = std::abs(speed(i) - speed(i - 1));
    ASSERT_LE(change, maxChange * Seconds(frames[i].timeUs - frames[i - 1].timeUs) + 1e-6)
        << "jerk at " << frames[i].timeUs;
  }
}

// From when it has left its standstill at the start, the shown scroll advances a whole pixel in
// every maxMs.
void ExpectPixelWithin(const std::vector<FrameRecord>& frames, std::int64_t maxMs) {
  std::size_t ahead = 0;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    if (frames[i].shown < kStep) continue;
    const double pixelOn = frames[i].shown + 1;
    ahead = std::max(ahead, i);
    while (ahead < frames.size() && frames[ahead].shown < pixelOn) ++ahead;
    if (ahead == frames.size()) return;
    // Between frames S moves evenly.
    const FrameRecord& a = frames[ahead - 1];
    const FrameRecord& b = frames[ahead];
    const double reachedUs =
        static_cast<double>(a.timeUs) +
        static_cast<double>(b.timeUs - a.timeUs) * (pixelOn - a.shown) / (b.shown - a.shown);
    ASSERT_LE(reachedUs - static_cast<double>(frames[i].timeUs), static_cast<double>(maxMs) * 1000)
        << "a pixel took too long from " << frames[i].timeUs;
  }
}

// Once the engine has stayed put for 2.5 ticks, S shows it exactly: whole pixels.
void ExpectCaughtUpWhenStill(const std::vector<FrameRecord>& frames, std::int32_t intervalMs) {
  std::int64_t engineSinceUs = 0;
  for (std::size_t i = 1; i < frames.size(); ++i) {
    const FrameRecord& f = frames[i];
    if (f.engine != frames[i - 1].engine) engineSinceUs = f.timeUs;
    if ((f.timeUs - engineSinceUs) * 2 >= std::int64_t{intervalMs} * 5000) {
      ASSERT_NEAR(f.shown, static_cast<double>(f.engine), 0.5 / 16)
          << "not caught up at " << f.timeUs;
    }
  }
}

struct RollCase {
  Pattern pattern;
  const char* name;
  int speed;
  // The longest a pixel may take while the roll moves, in ms; 0 where the roll stops.
  std::int64_t pixelMs;
  // Whether the speed changes only gently: by half the roll's speed per tick. Elsewhere it may
  // change by three times the roll's speed per tick, to stop or to keep up.
  bool gentle;
};

constexpr RollCase kRolls[] = {
    {Pattern::Lines, "Lines", 3, 70, true},
    {Pattern::Lines, "Lines", 2, 70, true},
    // A pixel takes 120 ms on average: 8.3 pixels per second.
    {Pattern::Lines, "Lines", 1, 130, true},
    {Pattern::LongSpacing, "LongSpacing", 3, 70, true},
    {Pattern::LongSpacing, "LongSpacing", 2, 70, true},
    {Pattern::LongSpacing, "LongSpacing", 1, 130, true},
    // Half the nominal speed on average: 40, 80 and 200 ms a pixel.
    {Pattern::TinyLines, "TinyLines", 3, 70, true},
    {Pattern::TinyLines, "TinyLines", 2, 100, true},
    {Pattern::TinyLines, "TinyLines", 1, 240, true},
    {Pattern::Wait1, "Wait1", 3, 0, false},
    {Pattern::Wait1, "Wait1", 2, 0, false},
    {Pattern::Wait1, "Wait1", 1, 0, false},
    {Pattern::Wait3, "Wait3", 3, 0, false},
    {Pattern::Wait3, "Wait3", 1, 0, false},
    {Pattern::SeveralRecords, "SeveralRecords", 3, 0, false},
    {Pattern::SeveralRecords, "SeveralRecords", 2, 0, false},
    {Pattern::Mixed, "Mixed", 3, 0, false},
    {Pattern::Mixed, "Mixed", 2, 0, false},
    {Pattern::Mixed, "Mixed", 1, 0, false},
};
constexpr double kRefreshRates[] = {50, 60, 75, 120, 144};

void PrintTo(const RollCase& roll, std::ostream* os) {
  *os << roll.name << " at speed " << roll.speed;
}

using RollParam = std::tuple<RollCase, double>;

std::string RollName(const ::testing::TestParamInfo<RollParam>& info) {
  const auto& [roll, hz] = info.param;
  return std::string(roll.name) + "Speed" + std::to_string(roll.speed) + "At" +
         std::to_string(static_cast<int>(hz)) + "Hz";
}

class SmoothRoll : public ::testing::TestWithParam<RollParam> {};

TEST_P(SmoothRoll, ShowsTheRollEvenlyWithinItsBounds) {
  const auto& [roll, hz] = GetParam();
  const std::int32_t intervalMs = Interval(roll.speed);
  const double speed = kStep * 1000.0 / intervalMs;
  const double perTick = speed * 1000.0 / intervalMs;  // a change of the full speed per tick
  for (std::uint64_t seed = 1; seed <= 3; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const std::vector<FrameRecord> frames = Play(roll.pattern, roll.speed, hz, false, seed);
    ExpectShownScrollFollows(frames, FrameCap(roll.speed, hz));
    ExpectWithinMaxLag(frames);
    ExpectSpeedChangesWithin(frames, roll.gentle ? perTick / 2 : perTick * 3);
    if (roll.pixelMs > 0) ExpectPixelWithin(frames, roll.pixelMs);
    ExpectCaughtUpWhenStill(frames, intervalMs);
  }
}

TEST_P(SmoothRoll, CatchesUpAfterLateFrames) {
  const auto& [roll, hz] = GetParam();
  const std::int64_t frameCap = FrameCap(roll.speed, hz);
  for (std::uint64_t seed = 1; seed <= 3; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const std::vector<FrameRecord> frames = Play(roll.pattern, roll.speed, hz, true, seed);
    ExpectShownScrollFollows(frames, frameCap);
    // Beyond 10 pixels behind, each frame takes back what one frame allows, less what the roll
    // moved in it.
    const auto excess = [](const FrameRecord& f) {
      return std::max(0.0, static_cast<double>(f.engine - kMaxLag) - f.shown);
    };
    for (std::size_t i = 1; i < frames.size(); ++i) {
      const auto moved = static_cast<double>(frames[i].engine - frames[i - 1].engine);
      ASSERT_LE(excess(frames[i]),
                std::max(0.0, excess(frames[i - 1]) + moved - static_cast<double>(frameCap)) + 1e-9)
          << "at " << frames[i].timeUs;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Rolls, SmoothRoll,
                         ::testing::Combine(::testing::ValuesIn(kRolls),
                                            ::testing::ValuesIn(kRefreshRates)),
                         RollName);

// Frames a refresh period apart, as a display shows them: while lines of one height and spacing
// roll, every frame moves the same distance, within 5 % of the roll's speed over the rate, so that
// no frame repeats the one before.
using SteadyParam = std::tuple<Pattern, int, double>;

class SteadyRoll : public ::testing::TestWithParam<SteadyParam> {};

TEST_P(SteadyRoll, MovesEveryFrameTheSameDistance) {
  const auto& [pattern, speed, hz] = GetParam();
  const double perFrame = kStep * 1000.0 / Interval(speed) / hz;
  const std::vector<FrameRecord> frames = Play(pattern, speed, hz, false, 1, 0);
  double least = perFrame;
  double most = 0;
  for (std::size_t i = 1; i < frames.size(); ++i) {
    if (frames[i].timeUs < 20'000'000) continue;  // from its start at rest to its pace
    const double step = frames[i].shown - frames[i - 1].shown;
    least = std::min(least, step);
    most = std::max(most, step);
  }
  EXPECT_LE(most - least, perFrame * 0.05) << "steps " << least << " to " << most;
}

std::string SteadyName(const ::testing::TestParamInfo<SteadyParam>& info) {
  const auto& [pattern, speed, hz] = info.param;
  return std::string(pattern == Pattern::Lines ? "Lines" : "TinyLines") + "Speed" +
         std::to_string(speed) + "At" + std::to_string(static_cast<int>(hz)) + "Hz";
}

INSTANTIATE_TEST_SUITE_P(Rolls, SteadyRoll,
                         ::testing::Combine(::testing::Values(Pattern::Lines, Pattern::TinyLines),
                                            ::testing::Values(1, 2, 3),
                                            ::testing::Values(60.0, 75.0, 120.0, 144.0)),
                         SteadyName);

TEST(ScrollFollower, SameFramesGiveTheSameScroll) {
  const std::vector<FrameRecord> first = Play(Pattern::Mixed, 3, 60, true, 7);
  ScrollFollower again(100, 60);
  ScrollFollower other(200, 144);  // alongside, to show that nothing is shared
  for (const FrameRecord& f : first) {
    other.Frame(f.timeUs, f.engine * 2, !f.stepsNext);
    ASSERT_EQ(again.Frame(f.timeUs, f.engine, f.stepsNext), f.shown) << f.timeUs;
  }
}

TEST(ScrollFollower, ResetShowsTheEngineScrollStandingStill) {
  ScrollFollower follower(100, 60);
  follower.Frame(0, 0, true);
  follower.Frame(100'000, 5, true);
  follower.Reset(1000);
  EXPECT_EQ(follower.Frame(200'000, 1000, false), 1000);
  EXPECT_EQ(follower.Frame(300'000, 1000, true), 1000);
  // A smaller engine scroll is a new roll.
  EXPECT_EQ(follower.Frame(400'000, 20, true), 20);
}

TEST(ScrollFollower, UnknownRefreshRateCountsAsSixtyHertz) {
  ScrollFollower follower(100, 0);
  follower.Frame(0, 0, false);
  // Far behind after a late frame: 60 Hz allows ceil(50 / 60) + 1 pixels in a frame.
  EXPECT_EQ(follower.Frame(1'000'000, 100, false), 2);
}

}  // namespace
}  // namespace velloway
