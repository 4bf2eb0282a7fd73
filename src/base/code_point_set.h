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
  void Add(char32_t codePoint) { Add(codePoint, codePoint); }
  bool Contains(char32_t codePoint) const;

 private:
  std::vector<std::uint64_t> bits_;
};

}  // namespace velloway
