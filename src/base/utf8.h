#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace velloway::utf8 {

inline constexpr char32_t kReplacement = 0xFFFD;

// Decodes the code point at text[pos] and advances pos past it. An ill-formed sequence (bad
// lead or continuation byte, overlong form, surrogate, beyond U+10FFFF, cut short) yields
// kReplacement and advances by one byte, so decoding always makes progress.
char32_t Decode(std::string_view text, std::size_t& pos);

// How many bytes code point cp takes in UTF-8.
std::size_t EncodedLength(char32_t cp);

// Appends code point cp in UTF-8.
void Append(std::string& out, char32_t cp);

// True when the whole text is well-formed UTF-8.
bool IsValid(std::string_view text);

// The start of the character that byte pos belongs to (pos itself at a character's start or at
// the end), so that text cut there keeps whole characters.
std::size_t CharStart(std::string_view text, std::size_t pos);

// text with its middle replaced by "..." so that at most keptBytes of it remain, whole characters
// from its start and its end; text itself when it is not longer than that.
std::string ElideMiddle(std::string_view text, std::size_t keptBytes);

}  // namespace velloway::utf8
