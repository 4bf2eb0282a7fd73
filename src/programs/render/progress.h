#pragma once
// The progress bar on the terminal: frames done, how much faster than real time the film is
// made, and the time left; redrawn in place on standard error a few times a second.
#include <chrono>
#include <cstdint>
#include <string>

namespace velloway::render {

// Whether the bar is shown: standard error is a terminal, and not --quiet.
bool ProgressShown(bool quiet);

class Progress {
 public:
  // Shown only when `shown` (standard error is a terminal, and not --quiet); note, when given,
  // leads the line.
  Progress(std::int64_t totalFrames, int fps, bool shown, std::string note = {});
  ~Progress() { Clear(); }
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  // `done` frames of the film are made.
  void Update(std::int64_t done);
  // Clears the bar, so that what is said next starts on a clean line.
  void Clear();

 private:
  using Clock = std::chrono::steady_clock;

  std::int64_t total_;
  int fps_;
  bool shown_;
  std::string note_;
  bool drawn_ = false;
  Clock::time_point start_ = Clock::now();
  Clock::time_point lastDrawn_{};
};

}  // namespace velloway::render
