#include "roll/smooth_scroll.h"

// How the follower works. X is the shown scroll as it moves (S = min(X, D)); it moves
// at a speed u. v is the roll's speed, T its tick, and a = v^2 / 2(4.3 + 63/64), just under half
// the roll's speed per tick. Each frame:
// - The reference Y is D with each step spread evenly over the tick from when it came: the tick
//   after the last step's that falls between this frame and the one before. 0 <= D - Y <= 5.
// - The rate r is how fast Y rose over the last six ticks, or since the follower last stood still:
//   the roll's recent average speed, holds included. Six ticks are one 20-pixel line with spacing
//   1, so for such lines r is steady.
// - The trail g = Y - X. u moves, by at most a per second, toward r + (P - P*) / 4T, where P is
//   g's recent peak (it forgets a pixel per six ticks) and P* = 4.3 - (v - r)^2 / 2a.
// - Keeping up: u is never so low that, speeding up at a, X would trail by more than 4.8 before
//   matching Y's present speed (at most v). Braking: u is never so high that X could not stop at
//   its resting point D + 63/64, braking at 3v / T. Both may change u by up to 3v / T per second.
//
// Why these figures. D - X = (D - Y) + g, and D - Y is 5 right after a step: g <= 4.8 keeps
// D - S <= 10. Below, S stops at D, so g may fall to -63/64 where Y = D. At the average
// rate r, g falls by rT during each hold and regains it over the steps. With its peak at P* it
// stays above the point where braking would begin: for 20-pixel lines (r = 5v/6) from 4.15 down to
// -0.02, braking from -0.40; for tiny ones (r = v/2) from 2.98 down to 0.48. In a long spacing r
// dips through each hold, so g falls by less than the hold's 5 pixels. P* leaves room below 4.3
// for speeding up at a from r to v, since tiny lines may turn into a long spacing at any tick;
// for r = 0 it is the resting point. And a is the rate that, from the resting point, reaches full
// speed just as the trail reaches 4.3.

#include <algorithm>
#include <cmath>

namespace velloway {
namespace {

constexpr double kStepPixels = 5;  // what a spacing tick moves the lines
constexpr double kMaxLag = 10;
constexpr std::int64_t kRateTicks = 6;    // the rate's window
constexpr double kPeakTrail = 4.3;        // the trail's peak at full speed
constexpr double kMaxTrail = 4.8;         // the trail the follower keeps up to stay within
constexpr double kPeakTicks = 4;          // how soon the speed corrects the peak
constexpr double kPeakForget = 1;         // pixels of the peak forgotten per rate window
constexpr double kRestAhead = 0.5;  // X rests this far past D
constexpr double kSpeedUpTrail = 5.28;   // the trail gained speeding up gently from rest
constexpr double kStill = 1.0 / 1024;     // this close to its resting point it stands still
constexpr double kQuickTicks = 1.0 / 3;   // a quick change of full speed takes a third of a tick
constexpr double kUnknownRefreshHz = 60;

double Seconds(std::int64_t microseconds) {
  return static_cast<double>(microseconds) / 1e6;
}

}  // namespace

ScrollFollower::ScrollFollower(std::int32_t tickIntervalMs, double refreshHz)
    : tickUs_(std::int64_t{tickIntervalMs} * 1000),
      tick_(tickIntervalMs / 1000.0),
      nominal_(kStepPixels / tick_),
      // From its resting point, speeding up at this rate brings the follower to full speed just
      // as its trail reaches kPeakTrail.
      accel_(nominal_ * nominal_ / (2 * kSpeedUpTrail)),
      quickAccel_(nominal_ / (kQuickTicks * tick_)) {
  SetRefreshRate(refreshHz);
  Reset(0);
}

void ScrollFollower::SetRefreshRate(double refreshHz) {
  frameCap_ = std::ceil(nominal_ / (refreshHz > 1 ? refreshHz : kUnknownRefreshHz)) + 1;
}

void ScrollFollower::Reset(std::int64_t engineScroll) {
  engine_ = engineScroll;
  position_ = static_cast<double>(engineScroll) + kRestAhead;
  speed_ = 0;
  peakTrail_ = -kRestAhead;
  lastFrameUs_.reset();
  stepCount_ = 0;
}

double ScrollFollower::Frame(std::int64_t nowMicroseconds, std::int64_t engineScroll) {
  if (engineScroll < engine_) Reset(engineScroll);
  if (!lastFrameUs_) stillAtUs_ = nowMicroseconds;
  const std::int64_t previousUs = lastFrameUs_.value_or(nowMicroseconds);
  const std::int64_t nowUs = std::max(nowMicroseconds, previousUs);
  lastFrameUs_ = nowUs;
  if (engineScroll > engine_) {
    AddStep(StepTime(previousUs, nowUs), static_cast<double>(engineScroll - engine_));
    engine_ = engineScroll;
  }
  Follow(nowUs, Seconds(nowUs - previousUs));
  return position_ - kRestAhead;
}

// When the step seen now came: the engine ticks every interval, so the tick after the last step's
// that falls between the previous frame and this one; midway between them for a first step.
std::int64_t ScrollFollower::StepTime(std::int64_t previousUs, std::int64_t nowUs) const {
  if (stepCount_ == 0) return previousUs + (nowUs - previousUs) / 2;
  const std::int64_t lastUs = steps_[(stepCount_ - 1) % kStepsKept].startUs;
  const std::int64_t ticks = std::max<std::int64_t>(1, (nowUs - lastUs + tickUs_ / 2) / tickUs_);
  return std::clamp(lastUs + ticks * tickUs_, previousUs, nowUs);
}

void ScrollFollower::AddStep(std::int64_t startUs, double pixels) {
  steps_[stepCount_ % kStepsKept] = {startUs, pixels};
  ++stepCount_;
}

// D with every step spread evenly over the tick from its start.
double ScrollFollower::Reference(std::int64_t nowUs) const {
  double reference = static_cast<double>(engine_);
  for (const Step& step : KeptSteps()) {
    const double age = Seconds(nowUs - step.startUs);
    if (age < tick_) reference -= step.pixels * (1 - age / tick_);
  }
  return reference;
}

// How fast the reference rises now.
double ScrollFollower::ReferenceSpeed(std::int64_t nowUs) const {
  double speed = 0;
  for (const Step& step : KeptSteps()) {
    if (Seconds(nowUs - step.startUs) < tick_) speed += step.pixels / tick_;
  }
  return speed;
}

// How fast the reference rose over the last kRateTicks, or since the follower stood still.
double ScrollFollower::RecentRate(std::int64_t nowUs) const {
  const std::int64_t fromUs = std::max(nowUs - kRateTicks * tickUs_, stillAtUs_);
  if (fromUs >= nowUs) return 0;
  double risen = 0;
  for (const Step& step : KeptSteps()) {
    const double start = Seconds(std::max(step.startUs, fromUs) - step.startUs);
    const double end = std::min(Seconds(nowUs - step.startUs), tick_);
    if (end > start) risen += step.pixels * (end - start) / tick_;
  }
  return risen / Seconds(nowUs - fromUs);
}

// The highest speed from which, moving for dt and then braking, the follower stops within room:
// s * dt + s * s / (2 * quickAccel) = room.
double ScrollFollower::StoppingSpeed(double room, double dt) const {
  if (room <= 0) return 0;
  return quickAccel_ * (std::sqrt(dt * dt + 2 * room / quickAccel_) - dt);
}

// The peak trail wanted at a rate: kPeakTrail, less what speeding up gently to full speed would
// add, so that a long spacing after tiny lines is met without trailing further; the resting point
// when the roll stands still.
double ScrollFollower::PeakTarget(double rate) const {
  const double shortfall = std::max(nominal_ - rate, 0.0);
  return kPeakTrail - shortfall * shortfall / (2 * accel_);
}

void ScrollFollower::Follow(std::int64_t nowUs, double dt) {
  // Measured where the present speed takes X in this frame, so that a long frame does not read as
  // a long trail.
  const double trail = Reference(nowUs) - (position_ + speed_ * dt);
  peakTrail_ = std::max(trail, peakTrail_ - kPeakForget * dt / Seconds(kRateTicks * tickUs_));
  const double rate = RecentRate(nowUs);
  const double wanted = rate + (peakTrail_ - PeakTarget(rate)) / (kPeakTicks * tick_);
  speed_ = std::clamp(std::max(wanted, 0.0), speed_ - accel_ * dt, speed_ + accel_ * dt);
  // Keeping up: never so slow that, speeding up gently, it would trail by more than kMaxTrail
  // before it matches the reference's present speed (at most the roll's).
  const double keepUp = std::min(ReferenceSpeed(nowUs), nominal_) -
                        std::sqrt(2 * accel_ * std::max(kMaxTrail - trail, 0.0));
  speed_ = std::max(speed_, std::min(keepUp, speed_ + quickAccel_ * dt));
  const double restingPoint = static_cast<double>(engine_) + kRestAhead;
  speed_ = std::min(speed_, StoppingSpeed(restingPoint - position_, dt));

  const double from = position_;
  position_ = std::min({from + speed_ * dt, from + frameCap_, restingPoint});
  // After a late frame: back within kMaxLag as fast as one frame allows.
  position_ =
      std::max(position_, std::min(static_cast<double>(engine_) - kMaxLag, from + frameCap_));
  // Standing still it shows D exactly: a line at rest stands on whole pixels.
  if (restingPoint - position_ < kStill) {
    position_ = restingPoint;
    stillAtUs_ = nowUs;
  }
}

}  // namespace velloway
