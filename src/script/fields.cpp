#include "script/fields.h"

namespace velloway {
namespace {

bool EndsField(char c) {
  return c == '\t' || c == '\r' || c == '\n';
}

// The end of the field that starts at `start`.
std::size_t FieldEnd(std::string_view text, std::size_t start) {
  while (start < text.size() && !EndsField(text[start])) ++start;
  return start;
}

}  // namespace

std::string_view Field(std::string_view text, std::size_t index) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = FieldEnd(text, start);
    if (index == 0) return text.substr(start, end - start);
    if (end == text.size() || text[end] != '\t') return {};
    --index;
    start = end + 1;
  }
}

std::size_t FieldCount(std::string_view text) {
  std::size_t count = 1;
  for (std::size_t end = FieldEnd(text, 0); end < text.size() && text[end] == '\t';
       end = FieldEnd(text, end + 1)) {
    ++count;
  }
  return count;
}

}  // namespace velloway
