#include "platform/posix/lock_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace velloway::posix {
namespace {

constexpr auto kLockWait = std::chrono::seconds(10);

class FileLock final : public forms::RunningCopyLock {
 public:
  explicit FileLock(int fd) : fd_(fd) {}
  ~FileLock() override { close(fd_); }  // closing lets the lock go
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<forms::RunningCopyLock> ClaimLockFile(std::string_view display) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string folder = runtime != nullptr && *runtime != '\0' ? runtime : "/tmp";
  const std::string path = folder + "/velloway-" + std::to_string(getuid()) + "-display" +
                           std::string(display) + ".lock";
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  const auto deadline = std::chrono::steady_clock::now() + kLockWait;
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (std::chrono::steady_clock::now() >= deadline) {
      close(fd);
      return nullptr;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return std::make_unique<FileLock>(fd);
}

}  // namespace velloway::posix
