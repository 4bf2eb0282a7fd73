#pragma once
// Which saves of a watched script start its roll again. An editor writes a file in steps, or
// writes another and renames it over the first (the name is missing for a moment), so a change
// counts once the file has stayed as it is for a moment. Told what the file looks like now and
// then, it reads no clock and no file itself.
#include <cstdint>

namespace velloway {

// What a look at a file shows: enough to tell a save from no change.
struct WatchedFileState {
  bool Exists = false;
  std::uint64_t Size = 0;
  std::int64_t ModifiedNs = 0;  // the modification time, in nanoseconds
  std::uint64_t FileId = 0;     // the file the name leads to: a save by renaming gives another
  bool operator==(const WatchedFileState&) const = default;
};

class ScriptWatch {
 public:
  // How long a changed file must stay as it is before the change counts, in milliseconds.
  static constexpr std::int64_t kSettleMs = 300;

  // The roll starts from the file as it looks at nowMs.
  ScriptWatch(const WatchedFileState& playing, std::int64_t nowMs);

  // The file as it looks at nowMs (never earlier than the time before). True when it differs
  // from the file the roll last started from and has looked the same for kSettleMs: the roll
  // starts again from it.
  bool Step(const WatchedFileState& seen, std::int64_t nowMs);

 private:
  WatchedFileState playing_;
  WatchedFileState seen_;
  std::int64_t seenSinceMs_;
};

}  // namespace velloway
