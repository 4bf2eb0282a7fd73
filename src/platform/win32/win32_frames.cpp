#include <windows.h>

#include <dwmapi.h>
#include <mmsystem.h>

#include "platform/win32/win32_frames.h"

#include <algorithm>
#include <utility>

#include "platform/win32/win32_backend.h"

namespace velloway::win32 {
namespace {

// CREATE_WAITABLE_TIMER_HIGH_RESOLUTION (Windows 10 1803 and later), which MinGW's headers lack.
constexpr DWORD kHighResolutionTimer = 0x00000002;
// How many DwmFlush calls are timed, after one that finds the next blank.
constexpr int kTimedFlushes = 3;

std::int64_t CountsPerFrame(int refreshHz) {
  return std::max<std::int64_t>(1, CountsPerSecond() / std::max(refreshHz, 1));
}

}  // namespace

std::int64_t CounterNow() {
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

std::int64_t CountsPerSecond() {
  static const std::int64_t frequency = [] {
    LARGE_INTEGER value{};
    QueryPerformanceFrequency(&value);
    return value.QuadPart > 0 ? value.QuadPart : 1;
  }();
  return frequency;
}

std::int64_t CounterMicroseconds(std::int64_t counts) {
  const std::int64_t frequency = CountsPerSecond();
  return counts / frequency * 1'000'000 + counts % frequency * 1'000'000 / frequency;
}

platform::ClockTime CounterTime() {
  return platform::ClockTime(CounterMicroseconds(CounterNow()));
}

// A blank that really is waited for takes a whole frame per call; calls that return at once
// take microseconds. Half a frame per call on average tells them apart.
bool VerticalBlankWaits(int refreshHz) {
  BOOL composing = FALSE;
  if (FAILED(DwmIsCompositionEnabled(&composing)) || !composing) return false;
  if (FAILED(DwmFlush())) return false;
  const std::int64_t start = CounterNow();
  for (int i = 0; i < kTimedFlushes; ++i) {
    if (FAILED(DwmFlush())) return false;
  }
  return (CounterNow() - start) * 2 >= kTimedFlushes * CountsPerFrame(refreshHz);
}

VerticalBlankPacer::VerticalBlankPacer(int refreshHz)
    : event_(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      periodMs_(static_cast<DWORD>(std::max(1000 / std::max(refreshHz, 1), 1))),
      thread_([this] { WaitForBlanks(); }) {}

VerticalBlankPacer::~VerticalBlankPacer() {
  stop_ = true;
  thread_.join();  // DwmFlush returns within a frame
}

void VerticalBlankPacer::WaitForBlanks() {
  const std::int64_t quickest = CountsPerSecond() / 1000;
  while (!stop_) {
    const std::int64_t start = CounterNow();
    const bool waited = SUCCEEDED(DwmFlush()) && CounterNow() - start >= quickest;
    // Composition may stop while frames run; DwmFlush then returns at once: a frame's sleep
    // keeps this loop from spinning.
    if (!waited) Sleep(periodMs_);
    SetEvent(event_.get());
  }
}

ClockPacer::ClockPacer()
    : timer_(CreateWaitableTimerExW(nullptr, nullptr, kHighResolutionTimer, TIMER_ALL_ACCESS)) {
  if (!timer_) {
    // Without the high-resolution timer a wait lasts whole ticks of the system clock, 15.6 ms
    // unless it is made finer while frames run.
    timer_.reset(CreateWaitableTimerW(nullptr, FALSE, nullptr));
    finerSystemTimer_ = timeBeginPeriod(1) == TIMERR_NOERROR;
  }
}

ClockPacer::~ClockPacer() {
  if (finerSystemTimer_) timeEndPeriod(1);
}

void ClockPacer::Next(const platform::FrameSchedule& frames) {
  if (!timer_) return;
  const platform::ClockTime now = CounterTime();
  // Relative due times are negative, in units of 100 ns.
  LARGE_INTEGER due{};
  due.QuadPart = -std::max<std::int64_t>(1, (frames.Due() - now).count() * 10);
  SetWaitableTimer(timer_.get(), &due, 0, nullptr, nullptr, FALSE);
}

Win32FrameDriver::Win32FrameDriver(Win32Backend& backend,
                                   std::function<void(const platform::DisplayFrame&)> onFrame)
    : backend_(backend), onFrame_(std::move(onFrame)) {
  backend_.AddFrameDriver(*this);
}

Win32FrameDriver::~Win32FrameDriver() {
  backend_.RemoveFrameDriver(*this);
}

void Win32FrameDriver::Start() {
  const int refreshHz = backend_.Screen().RefreshHz;
  schedule_.Start(CounterTime(), refreshHz);
  MakePacer(refreshHz);
  pacer_->Next(schedule_);
}

void Win32FrameDriver::MakePacer(int refreshHz) {
  if (backend_.VerticalBlankWaits(refreshHz)) {
    pacer_ = std::make_unique<VerticalBlankPacer>(refreshHz);
  } else {
    pacer_ = std::make_unique<ClockPacer>();
  }
}

void Win32FrameDriver::Frame() {
  if (!pacer_) return;
  const int refreshHz = backend_.Screen().RefreshHz;
  // A new rate (a laptop plugged into a monitor) gets its own pacer from this frame on.
  if (!schedule_.RunsAt(refreshHz)) MakePacer(refreshHz);
  const platform::ClockTime frameTime = schedule_.TakeFrame(CounterTime(), refreshHz);
  pacer_->Next(schedule_);
  onFrame_({frameTime.count(), refreshHz});
}

}  // namespace velloway::win32
