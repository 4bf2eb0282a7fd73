#pragma once
// Frames for the message loop. A frame driver hands the loop an object to wait on that is
// signalled when the next frame is due: at the compositor's vertical blank where DwmFlush really
// waits for it, else on the performance counter through a waitable timer. The loop waits for
// messages and frames at once (MsgWaitForMultipleObjectsEx), so input and ticks flow between
// frames and nothing spins.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "platform/clock.h"
#include "platform/driver_handler.h"
#include "platform/tick_schedule.h"
#include "platform/win32/win32_handles.h"

namespace velloway::win32 {

class Win32Backend;

// When frames are due.
class FramePacer {
 public:
  virtual ~FramePacer() = default;
  // Signalled when a frame is due.
  virtual HANDLE Signal() const = 0;
  // A frame of `frames` is being shown: the signal is set for the next one due.
  virtual void Next(const platform::FrameSchedule& frames) = 0;
};

// Whether DwmFlush waits for the compositor's vertical blank: timed over a few calls. Under Wine
// it returns at once.
bool VerticalBlankWaits(int refreshHz);

// Frames at each vertical blank: a thread of its own waits in DwmFlush and sets an event; it
// touches nothing else.
class VerticalBlankPacer final : public FramePacer {
 public:
  explicit VerticalBlankPacer(int refreshHz);
  ~VerticalBlankPacer() override;
  VerticalBlankPacer(const VerticalBlankPacer&) = delete;
  VerticalBlankPacer& operator=(const VerticalBlankPacer&) = delete;
  HANDLE Signal() const override { return event_.get(); }
  void Next(const platform::FrameSchedule&) override {}

 private:
  void WaitForBlanks();

  UniqueHandle event_;
  DWORD periodMs_;
  std::atomic<bool> stop_{false};
  std::thread thread_;  // last: starts once the rest stands
};

// Frames on the performance counter, at the times of the driver's FrameSchedule.
class ClockPacer final : public FramePacer {
 public:
  ClockPacer();
  ~ClockPacer() override;
  ClockPacer(const ClockPacer&) = delete;
  ClockPacer& operator=(const ClockPacer&) = delete;
  HANDLE Signal() const override { return timer_.get(); }
  void Next(const platform::FrameSchedule& frames) override;

 private:
  UniqueHandle timer_;
  bool finerSystemTimer_ = false;  // timeBeginPeriod(1) while the timer runs
};

class Win32FrameDriver final : public platform::FrameDriver {
 public:
  Win32FrameDriver(Win32Backend& backend,
                   std::function<void(const platform::DisplayFrame&)> onFrame);
  ~Win32FrameDriver() override;
  Win32FrameDriver(const Win32FrameDriver&) = delete;
  Win32FrameDriver& operator=(const Win32FrameDriver&) = delete;

  void Start() override;
  void Stop() override { pacer_.reset(); }
  // What the message loop waits on for the next frame; null while stopped.
  HANDLE Due() const { return pacer_ ? pacer_->Signal() : nullptr; }
  // The loop saw Due() signalled: the next frame is set, then the handler runs.
  void Frame();

 private:
  void MakePacer(int refreshHz);

  Win32Backend& backend_;
  platform::DriverHandler<const platform::DisplayFrame&> onFrame_;
  std::unique_ptr<FramePacer> pacer_;
  // The frames' times, a period apart whichever pacer signals them; the clock's pacer sets its
  // timer by them.
  platform::FrameSchedule schedule_;
};

// The performance counter, and in microseconds; the time the schedules read.
std::int64_t CounterNow();
std::int64_t CountsPerSecond();
std::int64_t CounterMicroseconds(std::int64_t counts);
platform::ClockTime CounterTime();

}  // namespace velloway::win32
