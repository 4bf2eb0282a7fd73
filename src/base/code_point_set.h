#pragma once
// A set of Unicode code points, such as the characters a machine's fonts show.
#include <cstdint>
#include <vector>

namespace velloway {

// One bit for each code point up to U+10FFFF (136 KiB), so that asking costs a bit test whatever
// text asks.
class CodePointSet {
 public:
  CodePointSet();
  // Adds first to last, both included; what lies beyond U+10FFFF is left out.
  void Add(char32_t first, char32_t last);
  // Adds first + i for every bit i set in bits, as fontconfig's pages hold them; first is a
  // multiple of 32.
  void AddBits(char32_t first, std::uint32_t bits);
  // Inline: a checker asks it for every character of a script's text.
  bool Contains(char32_t codePoint) const {
    return codePoint <= kLast && ((bits_[codePoint / kWordBits] >> (codePoint % kWordBits)) & 1);
  }

 private:
  static constexpr char32_t kLast = 0x10FFFF;
  static constexpr unsigned kWordBits = 64;
  std::vector<std::uint64_t> bits_;
};

}  // namespace velloway
