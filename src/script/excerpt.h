#pragma once
// How messages quote a script's text: a readable piece of it, whatever a line holds, so that a
// message never grows with a hostile line.
#include <cstddef>
#include <string>
#include <string_view>

namespace velloway {

// The most of one piece of script text a message quotes, in bytes.
inline constexpr std::size_t kExcerptBytes = 256;

// The start of text a message quotes: at most kExcerptBytes, cut before a character.
std::string_view ExcerptHead(std::string_view text);

// What follows a head of headBytes cut from a text of textBytes: "… (10,485,700 more bytes)";
// nothing when the head is the whole text.
std::string LeftOutNote(std::size_t textBytes, std::size_t headBytes);

// The head of text and its note.
std::string Excerpt(std::string_view text);

}  // namespace velloway
