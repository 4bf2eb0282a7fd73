#include <windows.h>

#include "platform/device_file.h"
#include "platform/wide_text.h"
#include "platform/win32/win32_handles.h"

namespace velloway::platform {

bool IsDeviceOrPipe(const std::string& utf8Path) {
  // No access asked: the handle only answers what it is, and opening it so never waits for a
  // pipe's other end.
  const HANDLE handle = CreateFileW(Utf8ToWide(utf8Path).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const win32::UniqueHandle owner(handle);
  const DWORD type = GetFileType(handle);
  return type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE;
}

}  // namespace velloway::platform
