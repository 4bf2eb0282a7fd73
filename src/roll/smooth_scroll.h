#pragma once
// Smooth motion: the scroll the roll shows between the engine's ticks.
//
// The roll engine moves every line 5 pixels at a spacing tick and holds them still at the other
// ticks, so its cumulative scroll D is a staircase. A ScrollFollower turns D, frame by frame, into
// a shown scroll S that rises evenly, between whole pixels: a line placed at top y0 when D was D0
// is drawn at y0 - (S - D0). It reads no clock; every frame brings its time (when the frame is
// shown: frames a refresh period apart) and whether the engine's next tick steps, so the same
// frames give the same S.
//
// At every frame, with v = 5000 / interval the roll's speed in pixels per second and f the
// refresh rate:
// - S never decreases, never exceeds D, and grows by at most ceil(v / f) + 1 pixels.
// - While the roll moves steadily (lines of one height and spacing), S grows by the same distance
//   every frame, within 5 % of v / f: no frame repeats the one before. A hold in a long spacing,
//   the only one in many ticks, slows it gently by about a sixth for six ticks.
// - D - S is at most 10. After a late frame (the program was busy) the roll may have moved more
//   than one frame may follow: then D - S exceeds 10 by at most what D gained beyond that
//   frame's ceil(v / f) + 1, and each later frame takes back at least ceil(v / f) + 1 less what D
//   gains in it, so the excess drains by about a pixel per frame.
// - While lines roll, one-tick holds and all, the shown speed changes by at most half the roll's
//   speed per tick (at speed 3 and 60 Hz, 4.2 pixels per second from one frame to the next). It
//   changes faster, by up to three times the roll's speed per tick, only to stop where the roll
//   stops or to keep up where it suddenly speeds up (tiny lines into a long spacing).
// - At speeds 3 and 2 the shown scroll advances a pixel within every 70 ms while lines of 20
//   pixels or more roll with spacing 1 or more (S shows it at the next frame); at speed 1, where
//   a pixel takes 120 ms on average, within 130 ms.
// - When D stays put (a WAIT, records in a row), S reaches D within 2.5 ticks and stands still,
//   exactly at D: a line at rest stands on whole pixels.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace velloway {

class ScrollFollower {
 public:
  // tickIntervalMs: the engine's tick (500, 200 or 100; above 0). refreshHz: the display's
  // refresh rate; a rate not above 1, as a system reports one it does not know, counts as 60.
  ScrollFollower(std::int32_t tickIntervalMs, double refreshHz);

  // Shows engineScroll, standing still; the next frame starts from there.
  void Reset(std::int64_t engineScroll);
  // The display's refresh rate changed (as the constructor takes it).
  void SetRefreshRate(double refreshHz);
  // The shown scroll S for a frame at nowMicroseconds, when the engine's cumulative scroll is
  // engineScroll and stepsNext tells whether the engine's next tick moves the lines. A time before
  // the previous frame's counts as that time; an engine scroll smaller than the last one is a new
  // roll, started over as Reset does.
  double Frame(std::int64_t nowMicroseconds, std::int64_t engineScroll, bool stepsNext);

 private:
  // One step of the engine, spread over the tick from startUs.
  struct Step {
    std::int64_t startUs = 0;
    double pixels = 0;
  };
  // When a tick came, or will come: between the earliest and the latest time the frames allow.
  struct TickWindow {
    std::int64_t earliestUs = 0;
    std::int64_t latestUs = 0;
  };
  // The largest trail seen in one tick of the clock.
  struct TickPeak {
    std::int64_t tick = 0;
    double trail = 0;
  };
  static constexpr std::size_t kStepsKept = 16;  // more than the rate's seven ticks ever hold
  // The peak's window, in ticks of the clock: six whole ones and this one.
  static constexpr std::size_t kPeakWindow = 7;

  TickWindow TickTime(std::int64_t previousUs, std::int64_t nowUs) const;
  void AddStep(std::int64_t startUs, double pixels);
  std::span<const Step> KeptSteps() const {
    return {steps_.data(), std::min(stepCount_, kStepsKept)};
  }
  double Reference(std::int64_t atUs) const;
  double ReferenceSpeed(std::int64_t atUs) const;
  double RecentRate(std::int64_t nowUs) const;
  void NotePeak(std::int64_t atUs, double trail);
  double Peak(std::int64_t nowUs) const;
  double StoppingSpeed(double room, double dt, double braking) const;
  double ReachingSpeed(double room, double dt, double untilStep, double braking) const;
  double PeakTarget(double rate) const;
  double KeepingUpSpeed(std::int64_t nowUs, double dt) const;
  void Follow(std::int64_t previousUs, std::int64_t nowUs);

  std::int64_t tickUs_;
  double tick_;          // seconds
  double nominal_;       // the roll's speed, pixels per second
  double accel_;         // how fast the speed changes while following, pixels per second per second
  double quickAccel_;    // how fast it may change to stop at D or to keep up
  double frameCap_ = 0;  // the most pixels S moves in one frame

  std::int64_t engine_ = 0;
  bool stepsNext_ = false;
  std::optional<TickWindow> lastTick_;   // the engine's last tick seen
  std::optional<TickWindow> announced_;  // the engine's next tick, when it moves the lines
  bool stopping_ = false;                // the roll stops: the follower stops at D
  double position_ = 0;
  double speed_ = 0;
  std::optional<std::int64_t> lastFrameUs_;
  std::int64_t stillAtUs_ = 0;  // the last frame at which the follower stood still
  std::array<Step, kStepsKept> steps_{};
  std::size_t stepCount_ = 0;
  std::array<TickPeak, kPeakWindow> peaks_{};
};

}  // namespace velloway
