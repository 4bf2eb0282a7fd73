#include "programs/render/encoding_thread.h"

#include <pthread.h>

#include <utility>

namespace velloway::render {

EncodingThread::EncodingThread(std::size_t waiting)
    : waiting_(waiting), thread_([this] { Run(); }) {
  // Told apart from the encoders' own threads in a profile (bench/render_bench.py).
  pthread_setname_np(thread_.native_handle(), kName);
}

EncodingThread::~EncodingThread() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
    jobs_.clear();
  }
  changed_.notify_all();
  thread_.join();
}

void EncodingThread::Post(std::function<void()> job) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return failure_ || jobs_.size() < waiting_; });
  ThrowFailure();
  jobs_.push_back(std::move(job));
  lock.unlock();
  changed_.notify_all();
}

void EncodingThread::Drain() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return failure_ || (jobs_.empty() && !running_); });
  ThrowFailure();
}

void EncodingThread::ThrowFailure() const {
  if (failure_) std::rethrow_exception(failure_);
}

void EncodingThread::Run() {
  std::unique_lock lock(mutex_);
  while (true) {
    changed_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    if (stopping_) return;
    std::function<void()> job = std::move(jobs_.front());
    jobs_.pop_front();
    running_ = true;
    lock.unlock();
    changed_.notify_all();
    std::exception_ptr failure;
    try {
      job();
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    running_ = false;
    if (failure) {
      failure_ = failure;
      jobs_.clear();
    }
    changed_.notify_all();
  }
}

}  // namespace velloway::render
