#pragma once
#include <string>
#include <string_view>

namespace velloway::platform {

// Western European: the code page scripts are read in until something says another, and the one
// every POSIX locale but a Japanese one stands for.
inline constexpr unsigned kDefaultCodePage = 1252;

// The system's legacy ("ANSI") code page: GetACP() on Windows; elsewhere the one Windows has
// for the user's locale (CodePageForLocale of LC_ALL, LC_CTYPE or LANG, the first one set).
unsigned SystemCodePage();

#ifndef _WIN32
// The legacy code page Windows has for a POSIX locale name: 932 for Japanese ("ja_JP.UTF-8",
// "ja"), kDefaultCodePage for any other.
unsigned CodePageForLocale(std::string_view locale);
#endif

// Converts text in the given Windows code page to UTF-8; bytes that the code page cannot map
// become U+FFFD.
std::string LegacyToUtf8(std::string_view bytes, unsigned codePage);

}  // namespace velloway::platform
