#pragma once
// Work done in order on a thread of its own, so that the next frame is drawn while the last is
// encoded: the encoders wait on their own threads inside each call, and without this the drawing
// waited with them. At most a few jobs wait at once, so that what a job refers to (a converted
// frame) may be used again once that many more have been posted. The first error a job throws
// stops the rest and is thrown again to the poster.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace velloway::render {

class EncodingThread {
 public:
  // The thread's name, as the system shows it.
  static constexpr const char* kName = "velloway-encode";

  // At most `waiting` jobs wait while one runs.
  explicit EncodingThread(std::size_t waiting);
  // Drops the jobs that wait, ends the one that runs and stops.
  ~EncodingThread();
  EncodingThread(const EncodingThread&) = delete;
  EncodingThread& operator=(const EncodingThread&) = delete;

  // Queues job after those posted before, once there is room; throws a job's error.
  void Post(std::function<void()> job);
  // Returns once every job posted has run; throws a job's error.
  void Drain();

 private:
  void Run();
  // Throws the error a job threw (the lock held).
  void ThrowFailure() const;

  std::size_t waiting_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> jobs_;
  bool running_ = false;  // a job taken from jobs_ is running
  bool stopping_ = false;
  std::exception_ptr failure_;
  std::thread thread_;  // last: starts once the rest stands
};

}  // namespace velloway::render
