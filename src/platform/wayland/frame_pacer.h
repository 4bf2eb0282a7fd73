#pragma once
// Display frames paced by the compositor: a frame runs when the compositor tells that the one
// before was shown (wl_surface.frame on the primary output's surface), its time the next on a
// platform::FrameSchedule at the output's refresh rate, so that frames are whole periods apart
// as the roll's follower expects. Where no word comes (a surface that showed nothing new, or is
// hidden), a timer of the loop runs them every two periods meanwhile: nothing waits on the
// compositor, and the ticks run on their own timers whatever it does.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/clock.h"
#include "platform/posix/poll_loop.h"
#include "platform/wayland/wayland_handles.h"

namespace velloway::wayland {

class FramePacer {
 public:
  // refreshHz reads the primary output's rate; post queues a frame to run from the event loop
  // (the callback's listener only takes note).
  FramePacer(posix::PollLoop& loop, std::function<int()> refreshHz,
             std::function<void(std::function<void()>)> post);
  ~FramePacer();
  FramePacer(const FramePacer&) = delete;
  FramePacer& operator=(const FramePacer&) = delete;

  std::unique_ptr<platform::FrameDriver> CreateDriver(
      std::function<void(const platform::DisplayFrame&)> onFrame);
  // Whether the primary surface's next commit should ask the compositor to tell of its frame.
  bool WantsWord() const;
  // The frame callback that commit carries.
  void Await(wl_callback* callback);

 private:
  class Driver;

  static void OnDone(void* data, wl_callback* callback, std::uint32_t time);
  bool Running() const;
  // Each running driver's frame; then the fallback waits two periods again.
  void RunFrames();
  void Rearm();

  std::function<int()> refreshHz_;
  std::function<void(std::function<void()>)> post_;
  std::vector<Driver*> drivers_;
  Owned<wl_callback> callback_;
  std::unique_ptr<platform::TimerDriver> fallback_;
};

}  // namespace velloway::wayland
