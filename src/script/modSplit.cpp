#include "script/modSplit.h"

#include <algorithm>

namespace velloway {

SplitResult SplitFields(std::string_view Text, char Delimiter) {
  if (Text.empty()) return std::int32_t{1};
  FieldList fields;
  // One allocation for the list, however many fields the text has.
  fields.reserve(static_cast<std::size_t>(std::count(Text.begin(), Text.end(), Delimiter)) + 1);
  std::size_t start = 0;
  for (;;) {
    const std::size_t q = Text.find(Delimiter, start);
    if (q == std::string_view::npos) {
      fields.emplace_back(Text.substr(start));
      return fields;
    }
    fields.emplace_back(Text.substr(start, q - start));
    start = q + 1;
  }
}

}  // namespace velloway
