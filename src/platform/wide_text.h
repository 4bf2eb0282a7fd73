#pragma once
#include <string>
#include <string_view>

namespace velloway::platform {

// The Win32 boundary: UTF-8 inside the program, UTF-16 for the wide API.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

}  // namespace velloway::platform
