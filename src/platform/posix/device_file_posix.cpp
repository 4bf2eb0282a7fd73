#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/device_file.h"

namespace velloway::platform {
namespace {

FileKind KindOf(mode_t mode) {
  if (S_ISREG(mode)) return FileKind::Regular;
  if (S_ISCHR(mode) || S_ISBLK(mode) || S_ISFIFO(mode) || S_ISSOCK(mode)) {
    return FileKind::DeviceOrPipe;
  }
  return FileKind::Unusable;
}

bool ReadsWait(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  return flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

}  // namespace

bool IsDeviceOrPipe(const std::string& utf8Path) {
  struct stat info {};
  return stat(utf8Path.c_str(), &info) == 0 && KindOf(info.st_mode) == FileKind::DeviceOrPipe;
}

CheckedFile::CheckedFile(const std::string& utf8Path) {
  // No controlling terminal taken either: a terminal is a device like any other here.
  const int fd = open(utf8Path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    // A socket, or a device without its driver, cannot be opened at all.
    if (errno == ENXIO || errno == ENODEV) kind_ = FileKind::DeviceOrPipe;
    return;
  }
  handle_ = fd;
  struct stat info {};
  if (fstat(fd, &info) != 0) return;
  kind_ = KindOf(info.st_mode);
  // Looked at: from here on the file's reads wait as usual.
  if (kind_ == FileKind::Regular && !ReadsWait(fd)) kind_ = FileKind::Unusable;
}

CheckedFile::~CheckedFile() {
  if (handle_ != kNoHandle) close(static_cast<int>(handle_));
}

}  // namespace velloway::platform
