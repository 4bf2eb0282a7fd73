#pragma once
#include <cstdint>
#include <string>

namespace velloway::platform {

// Whether a path (UTF-8) names a device or a pipe rather than a file: reading one may give
// endless bytes or wait for ever. Under Wine a Unix device or FIFO in a folder is listed like a
// file, yet the C++ library finds nothing there; the system's own file functions tell.
bool IsDeviceOrPipe(const std::string& utf8Path);

// What an opened path turned out to be.
enum class FileKind {
  Regular,
  // A device, a pipe or a socket: reading may give endless bytes or wait for ever.
  DeviceOrPipe,
  // Missing, a folder, or not to be opened.
  Unusable,
};

// A path (UTF-8) opened for reading without waiting (a pipe without a writer answers at once),
// its kind read from the opened handle: what is read afterwards is what was looked at, even if
// another file takes the name meanwhile. Owns the handle.
class CheckedFile {
 public:
  static constexpr std::intptr_t kNoHandle = -1;

  explicit CheckedFile(const std::string& utf8Path);
  ~CheckedFile();
  CheckedFile(const CheckedFile&) = delete;
  CheckedFile& operator=(const CheckedFile&) = delete;

  FileKind Kind() const { return kind_; }
  // A regular file's handle (a file descriptor on POSIX), its reads waiting again as usual,
  // handed to the caller, who closes it; kNoHandle for any other kind, or once taken.
  std::intptr_t TakeHandle() {
    if (kind_ != FileKind::Regular) return kNoHandle;
    kind_ = FileKind::Unusable;
    const std::intptr_t handle = handle_;
    handle_ = kNoHandle;
    return handle;
  }

 private:
  std::intptr_t handle_ = kNoHandle;
  FileKind kind_ = FileKind::Unusable;
};

}  // namespace velloway::platform
