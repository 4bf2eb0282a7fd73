#pragma once
#include <string>
#include <string_view>

namespace velloway {

// Upper-cases and narrows a UTF-8 text in one step, so that command words and the alignment
// word compare equal however they were typed: "text", "Text" and full-width "ＴＥＸＴ" all give
// "TEXT". Full-width ASCII forms (U+FF01..U+FF5E) and the full-width signs U+FFE0..U+FFE6 become
// their narrow forms and the ideographic space U+3000 a blank; other characters are only
// upper-cased (Latin, Greek, Cyrillic).
std::string Normalise(std::string_view text);

// Whether Normalise(text) == word, for an upper-case ASCII word, without making the normalised
// text: the loader asks it of every line.
bool NormalisesTo(std::string_view text, std::string_view word);

}  // namespace velloway
