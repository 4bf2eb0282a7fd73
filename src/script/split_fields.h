#pragma once
#include <cstddef>
#include <string_view>

namespace velloway {

// Fields of a script line. A line ends at its first CR or LF (or at the end of the text); its
// fields are cut at every tab, so a line with n tabs has n + 1 fields, and no field holds a tab.

// Where the line that starts at `start` ends: its first CR or LF, or the end of the text.
std::size_t FindLineEnd(std::string_view text, std::size_t start);

// Field `index` (from 0) of the line that starts `text`; empty beyond the line's last field.
std::string_view FindField(std::string_view text, std::size_t index);

// How many fields the line that starts `text` has.
std::size_t CountFields(std::string_view text);

}  // namespace velloway
