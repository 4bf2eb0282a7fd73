#include <windows.h>

#include "platform/device_file.h"
#include "platform/wide_text.h"
#include "platform/win32/win32_handles.h"

namespace velloway::platform {
namespace {

// Opening a pipe never waits for its other end: CreateFileW answers at once, busy or not, and
// Wine opens a Unix FIFO without waiting. A folder is not opened (no backup semantics asked).
HANDLE OpenExisting(const std::string& utf8Path, DWORD access) {
  return CreateFileW(Utf8ToWide(utf8Path).c_str(), access,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     0, nullptr);
}

FileKind KindOf(HANDLE handle) {
  switch (GetFileType(handle)) {
    case FILE_TYPE_DISK:
      return FileKind::Regular;
    case FILE_TYPE_CHAR:
    case FILE_TYPE_PIPE:
      return FileKind::DeviceOrPipe;
    default:
      return FileKind::Unusable;
  }
}

}  // namespace

bool IsDeviceOrPipe(const std::string& utf8Path) {
  // No access asked: the handle only answers what it is.
  const HANDLE handle = OpenExisting(utf8Path, 0);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const win32::UniqueHandle owner(handle);
  return KindOf(handle) == FileKind::DeviceOrPipe;
}

CheckedFile::CheckedFile(const std::string& utf8Path) {
  const HANDLE handle = OpenExisting(utf8Path, GENERIC_READ);
  if (handle == INVALID_HANDLE_VALUE) return;
  handle_ = reinterpret_cast<std::intptr_t>(handle);
  kind_ = KindOf(handle);
}

CheckedFile::~CheckedFile() {
  if (handle_ != kNoHandle) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

}  // namespace velloway::platform
