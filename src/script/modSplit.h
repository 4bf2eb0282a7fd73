#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace velloway {

using FieldList = std::vector<std::string>;

// Either the fields of a text, numbered from 0, or the whole number 1 for an empty text.
// Callers tell the two apart with std::holds_alternative<FieldList>.
using SplitResult = std::variant<FieldList, std::int32_t>;

// Cuts Text at every occurrence of the one-character Delimiter. A non-empty text with n
// delimiters gives n + 1 fields; no field ever holds the delimiter.
SplitResult SplitFields(std::string_view Text, char Delimiter);

}  // namespace velloway
