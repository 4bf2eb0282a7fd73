// Which saves of a watched script start its roll again, as editors save: in one write, in a burst
// of writes, by renaming a new file over the old, or by taking the file away for a while.
#include "roll/script_watch.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace velloway {
namespace {

const WatchedFileState kPlaying{true, 100, 1'000, 7};
const WatchedFileState kWritten{true, 120, 2'000, 7};
const WatchedFileState kWrittenMore{true, 140, 2'100, 7};
const WatchedFileState kTouched{true, 140, 2'200, 7};
const WatchedFileState kRenamedOver{true, 100, 1'000, 8};
const WatchedFileState kMissing{};

// Looks every 100 ms from 0 to 3000 ms at a file that takes each state from its time on (kPlaying
// before the first); the times the roll starts again.
std::vector<std::int64_t> Restarts(
    const std::vector<std::pair<std::int64_t, WatchedFileState>>& saves) {
  ScriptWatch watch(kPlaying, 0);
  std::vector<std::int64_t> restarts;
  for (std::int64_t now = 0; now <= 3'000; now += 100) {
    WatchedFileState seen = kPlaying;
    for (const auto& [from, state] : saves) {
      if (from <= now) seen = state;
    }
    if (watch.Step(seen, now)) restarts.push_back(now);
  }
  return restarts;
}

TEST(ScriptWatch, ASettledChangeRestartsTheRollOnce) {
  const struct {
    std::string what;
    std::vector<std::pair<std::int64_t, WatchedFileState>> saves;
    std::vector<std::int64_t> restarts;
  } cases[] = {
      {"no save", {}, {}},
      {"one write", {{1'000, kWritten}}, {1'300}},
      {"a burst of writes", {{1'000, kWritten}, {1'100, kWrittenMore}, {1'200, kTouched}}, {1'500}},
      {"saves apart", {{500, kWritten}, {2'000, kWrittenMore}}, {800, 2'300}},
      // Same size and time: only the file the name leads to tells.
      {"a new file renamed over it", {{1'000, kMissing}, {1'100, kRenamedOver}}, {1'400}},
      {"moved away and back", {{1'000, kMissing}, {1'200, kPlaying}}, {}},
      {"missing, then back", {{1'000, kMissing}, {2'000, kRenamedOver}}, {1'300, 2'300}},
      {"written, then as it was", {{1'000, kWritten}, {1'200, kPlaying}}, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(Restarts(c.saves), c.restarts) << c.what;
}

}  // namespace
}  // namespace velloway
