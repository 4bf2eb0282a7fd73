#include "roll/smooth_scroll.h"

// How the follower works. v is the roll's speed, T its tick, a = v / 2T (half the roll's speed
// per tick) and the quick rate 3v / T. The engine says at every frame whether its next tick steps;
// the frames in which a step, or a change of that word, shows tell when the ticks come, to within
// a frame, and the beat they keep narrows it. Each frame:
// - The reference Y is D with each step spread evenly over the tick before it: a tick ahead of
//   D, the announced step rising from the last tick to the next. So Y >= D, Y = D right after a
//   step, and the trail g = Y - S is the lag D - S right after a step and never below it.
// - The rate r is how fast Y rose over the last six ticks, or since S last stood still: six ticks
//   are one 20-pixel line with spacing 1 (a hold and five steps), or three tiny lines.
// - The peak P is the largest trail over the last six whole ticks and this one.
// - S moves at a speed u that changes by at most a per second, toward r + (P - P*) / 4T, where
//   P* = 9.4 - (v - r)^2 / 2a.
// - Keeping up: u is never so low that, speeding up at a to Y's speed (at most v), g would
//   exceed 10; it may rise quickly for that. Braking: before an announced step, S must not pass
//   D until the step's latest time, braking gently if it can and quickly if it must; otherwise it
//   must be able to stop at D braking quickly.
// - The roll stops when the engine said its next tick holds and, a quarter tick past that tick's
//   latest time, has not said that the one after it steps: two holds or more (a WAIT, records in
//   a row). Then S goes on to D at up to v, quickly, and stands there exactly.
//
// Why these figures. Any roll that repeats within six ticks (one height and spacing) keeps r and
// P constant, so u is constant and every frame moves S by r / f: within 0.5 % of v / f, measured.
// A roll that holds one tick in n + 1 has r = nv / (n + 1), and g falls by rT over the hold and
// regains it over the steps, so the lag stays within P* - 5 - (n - 1)(v - r)T and P*: for 20-pixel
// lines (r = 5v/6, P* = 9.26) from 0.93 to 9.26, for tiny ones (r = v/2, P* = 8.15) from 3.15 to
// 8.15. In a long spacing r = v and the lag stays within 4.4 and 9.4 but for the hold a new line
// takes. A tick before it the engine says so: Y stops rising a tick early, and r falls by v/6
// over that tick and rises again six ticks later. S slows by a sixth (16 to 21 % measured), and
// the lag before the step after the hold is 9.4 - 10 + 1.25 = 0.65. Told only as the hold came, r
// would have given 0.42 of those 5 pixels by then, and S would have to brake quickly: a lag low
// enough for 10 after each step is too low for the hold. P* is lower below full speed by what
// speeding up at a to v adds to g, so that tiny lines that turn into a long spacing are met at
// 9.4. From rest, speeding up at a is the fastest gentle start; it reaches the largest lag, 10
// less half a frame at v, at the third step (9.96 at speed 1, measured). A stop takes the lag
// (at most 9.4) to 0 within 2.5 ticks of the last step: it is found 1.25 ticks after that step,
// S is within 1/32 pixel of D (drawn on its pixel) 2.45 ticks after it at most, measured, and
// exactly at D a few frames later.

#include <algorithm>
#include <cmath>
#include <limits>

#include "roll/roll_engine.h"

namespace velloway {
namespace {

constexpr double kStepPixels = RollEngine::kStepPixels;  // what a spacing tick moves the lines
constexpr double kMaxLag = 10;
constexpr std::int64_t kRateTicks = 6;   // the rate's window
constexpr double kPeakLag = 9.4;         // the trail's peak at full speed
constexpr double kFollowTicks = 4;       // how soon the speed corrects the peak
constexpr double kStill = 1e-6;          // this close to D it stands still
constexpr double kQuickTicks = 1.0 / 3;  // a quick change of full speed takes a third of a tick
constexpr double kUnknownRefreshHz = 60;

double Seconds(std::int64_t microseconds) {
  return static_cast<double>(microseconds) / 1e6;
}

}  // namespace

ScrollFollower::ScrollFollower(std::int32_t tickIntervalMs, double refreshHz)
    : tickUs_(std::int64_t{tickIntervalMs} * 1000),
      tick_(tickIntervalMs / 1000.0),
      nominal_(kStepPixels / tick_),
      accel_(nominal_ / (2 * tick_)),
      quickAccel_(nominal_ / (kQuickTicks * tick_)) {
  SetRefreshRate(refreshHz);
  Reset(0);
}

void ScrollFollower::SetRefreshRate(double refreshHz) {
  frameCap_ = std::ceil(nominal_ / (refreshHz > 1 ? refreshHz : kUnknownRefreshHz)) + 1;
}

void ScrollFollower::Reset(std::int64_t engineScroll) {
  engine_ = engineScroll;
  announced_.reset();
  lastTick_.reset();
  stopping_ = false;
  position_ = static_cast<double>(engineScroll);
  speed_ = 0;
  lastFrameUs_.reset();
  stepCount_ = 0;
  peaks_.fill({std::numeric_limits<std::int64_t>::min(), 0});
}

double ScrollFollower::Frame(std::int64_t nowMicroseconds, std::int64_t engineScroll,
                             bool stepsNext) {
  if (engineScroll < engine_) Reset(engineScroll);
  if (!lastFrameUs_) {
    stillAtUs_ = nowMicroseconds;
    stepsNext_ = stepsNext;
  }
  const std::int64_t previousUs = lastFrameUs_.value_or(nowMicroseconds);
  const std::int64_t nowUs = std::max(nowMicroseconds, previousUs);
  lastFrameUs_ = nowUs;
  // A tick shows as a step, or as a change of what the engine says of its next tick.
  const bool newStep = engineScroll > engine_;
  const bool tickSeen = newStep || stepsNext != stepsNext_;
  // The roll stops when the engine said its next tick holds and that tick has passed, well past
  // its beat, without a word that the one after it steps. The follower then stops at D, unless
  // the roll moves on first.
  if (!stepsNext && !tickSeen && lastTick_ &&
      nowUs >= lastTick_->latestUs + tickUs_ + tickUs_ / 4) {
    stopping_ = true;
  }
  if (newStep) stopping_ = false;
  if (tickSeen) lastTick_ = TickTime(previousUs, nowUs);
  if (newStep) {
    AddStep(lastTick_->earliestUs, static_cast<double>(engineScroll - engine_));
    engine_ = engineScroll;
  }
  stepsNext_ = stepsNext;
  // The announced step comes a tick after the last one, or now when its tick is late.
  announced_.reset();
  if (stepsNext && lastTick_) {
    announced_ = TickWindow{std::max(lastTick_->earliestUs + tickUs_, nowUs),
                            std::max(lastTick_->latestUs + tickUs_, nowUs)};
  }
  Follow(previousUs, nowUs);
  return position_;
}

// When the tick seen now may have come: after the previous frame, and on the beat of the ticks
// seen before (the engine ticks every interval) unless the beat has moved.
ScrollFollower::TickWindow ScrollFollower::TickTime(std::int64_t previousUs,
                                                    std::int64_t nowUs) const {
  const TickWindow seen{std::min(previousUs + 1, nowUs), nowUs};
  if (!lastTick_) return seen;
  const std::int64_t ticks =
      std::max<std::int64_t>(1, (nowUs - lastTick_->latestUs + tickUs_ / 2) / tickUs_);
  const TickWindow onBeat{std::max(lastTick_->earliestUs + ticks * tickUs_, seen.earliestUs),
                          std::min(lastTick_->latestUs + ticks * tickUs_, seen.latestUs)};
  return onBeat.earliestUs <= onBeat.latestUs ? onBeat : seen;
}

void ScrollFollower::AddStep(std::int64_t startUs, double pixels) {
  steps_[stepCount_ % kStepsKept] = {startUs, pixels};
  ++stepCount_;
}

// D with every step spread evenly over the tick from its start, the announced step included: at
// a tick from now, the reference Y.
double ScrollFollower::Reference(std::int64_t atUs) const {
  const auto unspread = [&](std::int64_t startUs, double pixels) {
    const double age = std::max(Seconds(atUs - startUs), 0.0);
    return age < tick_ ? pixels * (1 - age / tick_) : 0.0;
  };
  double reference = static_cast<double>(engine_);
  for (const Step& step : KeptSteps()) reference -= unspread(step.startUs, step.pixels);
  if (announced_) reference += kStepPixels - unspread(announced_->earliestUs, kStepPixels);
  return reference;
}

// How fast the reference rises at atUs.
double ScrollFollower::ReferenceSpeed(std::int64_t atUs) const {
  const auto rising = [&](std::int64_t startUs, double pixels) {
    const std::int64_t age = atUs - startUs;
    return age >= 0 && age < tickUs_ ? pixels / tick_ : 0.0;
  };
  double speed = 0;
  for (const Step& step : KeptSteps()) speed += rising(step.startUs, step.pixels);
  if (announced_) speed += rising(announced_->earliestUs, kStepPixels);
  return speed;
}

// How fast the reference a tick ahead rose over the last kRateTicks, or since the follower stood
// still.
double ScrollFollower::RecentRate(std::int64_t nowUs) const {
  const std::int64_t fromUs = std::max(nowUs - kRateTicks * tickUs_, stillAtUs_);
  if (fromUs >= nowUs) return 0;
  return (Reference(nowUs + tickUs_) - Reference(fromUs + tickUs_)) / Seconds(nowUs - fromUs);
}

void ScrollFollower::NotePeak(std::int64_t atUs, double trail) {
  const std::int64_t tick = atUs / tickUs_;
  TickPeak& peak = peaks_[static_cast<std::size_t>(tick) % kPeakWindow];
  if (peak.tick != tick) peak = {tick, trail};
  peak.trail = std::max(peak.trail, trail);
}

// The largest trail over the window's ticks.
double ScrollFollower::Peak(std::int64_t nowUs) const {
  const std::int64_t tick = nowUs / tickUs_;
  double peak = -std::numeric_limits<double>::infinity();
  for (const TickPeak& kept : peaks_) {
    if (kept.tick > tick - static_cast<std::int64_t>(kPeakWindow)) {
      peak = std::max(peak, kept.trail);
    }
  }
  return peak;
}

// The highest speed from which, moving for dt and then braking, the follower stops within room:
// s * dt + s * s / (2 * braking) = room.
double ScrollFollower::StoppingSpeed(double room, double dt, double braking) const {
  if (room <= 0) return 0;
  return braking * (std::sqrt(dt * dt + 2 * room / braking) - dt);
}

// The highest speed from which, moving for dt and then braking, the follower is still within
// room when the announced step comes, untilStep after this frame.
double ScrollFollower::ReachingSpeed(double room, double dt, double untilStep,
                                     double braking) const {
  if (untilStep <= 0) return StoppingSpeed(room, dt, braking);  // it is due
  const double passing = (room + braking * untilStep * untilStep / 2) / (dt + untilStep);
  return passing >= braking * untilStep ? passing : StoppingSpeed(room, dt, braking);
}

// The peak trail wanted at a rate: kPeakLag, less what speeding up gently to full speed would
// add, so that a long spacing after tiny lines is met without trailing further.
double ScrollFollower::PeakTarget(double rate) const {
  const double shortfall = std::max(nominal_ - rate, 0.0);
  return kPeakLag - shortfall * shortfall / (2 * accel_);
}

// Keeping up: the least speed for this frame from which, speeding up gently after it, the
// follower trails by at most kMaxLag when it matches the reference's speed (at most the roll's):
// behind - s * dt + (rising - s)^2 / (2 * accel) = kMaxLag.
double ScrollFollower::KeepingUpSpeed(std::int64_t nowUs, double dt) const {
  const double rising = std::min(ReferenceSpeed(nowUs + tickUs_), nominal_);
  const double behind = Reference(nowUs + tickUs_) - position_;
  const double slack = std::max(kMaxLag - behind + rising * dt, 0.0);
  return rising + accel_ * dt - std::sqrt(accel_ * accel_ * dt * dt + 2 * accel_ * slack);
}

void ScrollFollower::Follow(std::int64_t previousUs, std::int64_t nowUs) {
  const double dt = Seconds(nowUs - previousUs);
  // Measured where the present speed takes S in this frame, so that a long frame does not read as
  // a long trail.
  const double trail = Reference(nowUs + tickUs_) - (position_ + speed_ * dt);
  NotePeak(nowUs, trail);
  const double room = static_cast<double>(engine_) - position_;
  // A quick change, however it comes, is at most quickAccel_ * dt in all.
  const double quickest = speed_ - quickAccel_ * dt;
  const double fastest = speed_ + quickAccel_ * dt;
  if (stopping_) {
    // The roll stops here: straight on to D, as fast as the roll goes, and no further.
    speed_ =
        std::clamp(std::min(nominal_, StoppingSpeed(room, dt, quickAccel_)), quickest, fastest);
  } else {
    const double rate = RecentRate(nowUs);
    const double wanted = rate + (Peak(nowUs) - PeakTarget(rate)) / (kFollowTicks * tick_);
    speed_ = std::clamp(std::max(wanted, 0.0), speed_ - accel_ * dt, speed_ + accel_ * dt);
    speed_ = std::max(speed_, std::min(KeepingUpSpeed(nowUs, dt), fastest));
  }
  if (announced_ && !stopping_) {
    // Before the announced step, which may come as late as its window's end, it brakes gently if
    // it can, quickly if it must.
    const double untilStep = Seconds(announced_->latestUs - nowUs);
    const double gently = std::max(ReachingSpeed(room, dt, untilStep, accel_), quickest);
    speed_ = std::min({speed_, gently, ReachingSpeed(room, dt, untilStep, quickAccel_),
                       StoppingSpeed(room + kStepPixels, dt, quickAccel_)});
  } else {
    speed_ = std::min(speed_, StoppingSpeed(room, dt, quickAccel_));
  }

  const double from = position_;
  const auto engine = static_cast<double>(engine_);
  position_ = std::min({from + speed_ * dt, from + frameCap_, engine});
  // After a late frame: back within kMaxLag as fast as one frame allows.
  position_ = std::max(position_, std::min(engine - kMaxLag, from + frameCap_));
  // Standing still it shows D exactly: a line at rest stands on whole pixels.
  if ((stopping_ || !announced_) && engine - position_ < kStill) {
    stopping_ = false;
    position_ = engine;
    stillAtUs_ = nowUs;
  }
}

}  // namespace velloway
