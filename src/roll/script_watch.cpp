#include "roll/script_watch.h"

namespace velloway {

ScriptWatch::ScriptWatch(const WatchedFileState& playing, std::int64_t nowMs)
    : playing_(playing), seen_(playing), seenSinceMs_(nowMs) {}

bool ScriptWatch::Step(const WatchedFileState& seen, std::int64_t nowMs) {
  if (seen != seen_) {
    seen_ = seen;
    seenSinceMs_ = nowMs;
    return false;
  }
  // A file that looks again as it did when the roll started (moved away and back) is no change.
  if (seen_ == playing_ || nowMs - seenSinceMs_ < kSettleMs) return false;
  playing_ = seen_;
  return true;
}

}  // namespace velloway
