#include "programs/render/progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

namespace velloway::render {
namespace {

constexpr auto kRedraw = std::chrono::milliseconds(100);
constexpr int kDefaultColumns = 80;
constexpr int kShortestBar = 10;

int TerminalColumns() {
  winsize size{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return kDefaultColumns;
  return size.ws_col;
}

std::string Minutes(double seconds) {
  const auto whole = static_cast<long long>(std::max(seconds, 0.0) + 0.5);
  std::array<char, 32> text{};
  if (whole >= 3600) {
    std::snprintf(text.data(), text.size(), "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                  whole % 60);
  } else {
    std::snprintf(text.data(), text.size(), "%lld:%02lld", whole / 60, whole % 60);
  }
  return text.data();
}

// One line of the bar, as wide as the terminal's columns allow.
std::string ProgressLine(std::int64_t done, std::int64_t total, double speed, double secondsLeft,
                         int columns) {
  std::array<char, 128> figures{};
  std::snprintf(figures.data(), figures.size(), " %lld/%lld frames  %.1fx  %s left",
                static_cast<long long>(done), static_cast<long long>(total), speed,
                Minutes(secondsLeft).c_str());
  const std::string tail = figures.data();
  const int width = std::max(kShortestBar, columns - 1 - static_cast<int>(tail.size()) - 2);
  const auto filled = static_cast<int>(total > 0 ? done * width / total : width);
  return "[" + std::string(static_cast<std::size_t>(filled), '#') +
         std::string(static_cast<std::size_t>(width - filled), '.') + "]" + tail;
}

}  // namespace

bool ProgressShown(bool quiet) {
  return !quiet && isatty(STDERR_FILENO) != 0;
}

Progress::Progress(std::int64_t totalFrames, int fps, bool shown, std::string note)
    : total_(totalFrames), fps_(fps), shown_(shown), note_(note.empty() ? note : note + " ") {}

void Progress::Update(std::int64_t done) {
  if (!shown_) return;
  const Clock::time_point now = Clock::now();
  if (done < total_ && now - lastDrawn_ < kRedraw) return;
  lastDrawn_ = now;
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  const double filmed = static_cast<double>(done) / fps_;
  const double speed = elapsed > 0 ? filmed / elapsed : 0;
  const double left = speed > 0 ? static_cast<double>(total_ - done) / fps_ / speed : 0;
  const std::string line = note_ + ProgressLine(done, total_, speed, left,
                                                TerminalColumns() - static_cast<int>(note_.size()));
  std::fprintf(stderr, "\r%s", line.c_str());
  std::fflush(stderr);
  drawn_ = true;
}

void Progress::Clear() {
  if (!drawn_) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  drawn_ = false;
}

}  // namespace velloway::render
