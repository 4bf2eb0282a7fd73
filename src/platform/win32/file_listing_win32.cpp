#include <windows.h>

#include "platform/file_listing.h"
#include "platform/wide_text.h"
#include "platform/win32/win32_handles.h"

namespace velloway::platform {

std::vector<std::string> ListFiles(std::string_view directory, std::string_view pattern) {
  const std::wstring query = Utf8ToWide(directory) + L"\\" + Utf8ToWide(pattern);
  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  const HANDLE first = FindFirstFileW(query.c_str(), &found);
  if (first == INVALID_HANDLE_VALUE) return names;
  const win32::UniqueSearch search(first);
  constexpr DWORD kNotNormal =
      FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  do {
    if ((found.dwFileAttributes & kNotNormal) == 0) names.push_back(WideToUtf8(found.cFileName));
  } while (FindNextFileW(search.get(), &found));
  return names;
}

}  // namespace velloway::platform
