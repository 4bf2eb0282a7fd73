#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace velloway::platform {

// The system's legacy ("ANSI") code page: GetACP() on Windows; elsewhere the one Windows has
// for the user's locale (CodePageForLocale of LC_ALL, LC_CTYPE or LANG, the first one set).
unsigned SystemCodePage();

#ifndef _WIN32
// The legacy code page Windows has for a POSIX locale name: 932 for Japanese ("ja_JP.UTF-8",
// "ja"), 1252 for any other.
unsigned CodePageForLocale(std::string_view locale);
#endif

// A code page number as a command line gives it ("932"): 1..65535; nothing for any other text.
std::optional<unsigned> ParseCodePage(std::string_view text);

// Converts text in the given Windows code page to UTF-8; bytes that the code page cannot map
// become U+FFFD.
std::string LegacyToUtf8(std::string_view bytes, unsigned codePage);

}  // namespace velloway::platform
