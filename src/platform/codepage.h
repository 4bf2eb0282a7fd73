#pragma once
#include <string>
#include <string_view>

namespace velloway::platform {

// The system's legacy ("ANSI") code page: GetACP() on Windows, 1252 elsewhere.
unsigned SystemCodePage();

// Converts text in the given Windows code page to UTF-8; bytes that the code page cannot map
// become U+FFFD.
std::string LegacyToUtf8(std::string_view bytes, unsigned codePage);

}  // namespace velloway::platform
