#include <windows.h>

#include "platform/codepage.h"
#include "platform/wide_text.h"

namespace velloway::platform {

unsigned SystemCodePage() {
  return GetACP();
}

std::string LegacyToUtf8(std::string_view bytes, unsigned codePage) {
  if (bytes.empty()) return {};
  const int length = static_cast<int>(bytes.size());
  const int wideLength = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
  if (wideLength <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), length, wide.data(), wideLength);
  return WideToUtf8(wide);
}

}  // namespace velloway::platform
