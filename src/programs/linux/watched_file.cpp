#include "programs/linux/watched_file.h"

#include <sys/stat.h>

#include <cstdint>

namespace velloway::linux {

// The inode tells which file: an editor that renames a new file over the old one may leave its
// size and modification time as they were.
WatchedFileState LookAtFile(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return {};
  constexpr std::int64_t kNsPerSecond = 1'000'000'000;
  return {true, static_cast<std::uint64_t>(info.st_size),
          std::int64_t{info.st_mtim.tv_sec} * kNsPerSecond + info.st_mtim.tv_nsec,
          static_cast<std::uint64_t>(info.st_ino)};
}

}  // namespace velloway::linux
