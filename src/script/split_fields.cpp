#include "script/split_fields.h"

#include <cstdint>
#include <cstring>

namespace velloway {
namespace {

// The first position from `start` on that holds one of the bytes Stops, or the end of text.
// Eight bytes are tested at a time while none of them is one: captions can be megabytes long.
template <char... Stops>
std::size_t FindFirstOf(std::string_view text, std::size_t start) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
  const auto holdsByte = [](std::uint64_t word, char stop) {
    const std::uint64_t x = word ^ (kOnes * static_cast<unsigned char>(stop));
    return ((x - kOnes) & ~x & kHighs) != 0;  // some byte of x is zero
  };
  for (; start + 8 <= text.size(); start += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, text.data() + start, 8);
    if ((holdsByte(word, Stops) || ...)) break;
  }
  while (start < text.size() && ((text[start] != Stops) && ...)) ++start;
  return start;
}

// The end of the field that starts at `start`.
std::size_t FieldEnd(std::string_view text, std::size_t start) {
  return FindFirstOf<'\t', '\r', '\n'>(text, start);
}

}  // namespace

std::size_t FindLineEnd(std::string_view text, std::size_t start) {
  return FindFirstOf<'\r', '\n'>(text, start);
}

std::string_view FindField(std::string_view text, std::size_t index) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = FieldEnd(text, start);
    if (index == 0) return text.substr(start, end - start);
    if (end == text.size() || text[end] != '\t') return {};
    --index;
    start = end + 1;
  }
}

std::size_t CountFields(std::string_view text) {
  std::size_t count = 1;
  for (std::size_t end = FieldEnd(text, 0); end < text.size() && text[end] == '\t';
       end = FieldEnd(text, end + 1)) {
    ++count;
  }
  return count;
}

}  // namespace velloway
