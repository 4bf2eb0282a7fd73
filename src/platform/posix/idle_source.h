#pragma once
// What tells the native program how long the desktop has been idle, for velloway --when-idle: the
// compositor, GNOME's idle monitor or the X server. Each source keeps a connection of its own,
// which lives while the program waits and plays, apart from the display backend's, which lives
// only while a roll plays.
#include <chrono>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string_view>

namespace velloway::posix {

// The source is gone (its compositor, bus or X server): the program cannot wait on.
class IdleSourceLost : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class IdleSource {
 public:
  virtual ~IdleSource() = default;
  // What it listens to, as the session's documentation names it ("org_kde_kwin_idle").
  virtual std::string_view Name() const = 0;
  // How long the desktop has been idle now, at the least, by the source's word; nothing while a
  // source that tells by itself (on Fd) has not said that it is idle. While a program holds off
  // idleness (a video player), the desktop counts as active.
  virtual std::optional<std::chrono::milliseconds> IdleTime() = 0;
  // A roll ended, by the user's hand: what the source said before is forgotten, and a source
  // that tells by itself is asked anew, counting from now.
  virtual void Renew() = 0;
  // The descriptor to poll for the source's news, or its loss; -1 when there is none.
  virtual int Fd() const = 0;
  // Right before the wait: false when news came meanwhile, which the wait would not see.
  virtual bool ReadyToWait() = 0;
  // Right after the wait, with what poll said of Fd (0 when it timed out): takes the news.
  // Throws IdleSourceLost.
  virtual void AfterWait(short revents) = 0;
};

// What a session's display system or bus offers: whether it was reached at all, and its idle
// source, null when it tells no idleness.
struct IdleOffer {
  bool Reached = false;
  std::unique_ptr<IdleSource> Source;
};

}  // namespace velloway::posix
