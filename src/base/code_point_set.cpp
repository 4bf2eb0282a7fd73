#include "base/code_point_set.h"

namespace velloway {
namespace {

constexpr char32_t kLastCodePoint = 0x10FFFF;
constexpr unsigned kWordBits = 64;

}  // namespace

CodePointSet::CodePointSet() : bits_(kLastCodePoint / kWordBits + 1) {}

void CodePointSet::Add(char32_t first, char32_t last) {
  if (last > kLastCodePoint) last = kLastCodePoint;
  for (char32_t c = first; c <= last; ++c) {
    bits_[c / kWordBits] |= std::uint64_t{1} << (c % kWordBits);
  }
}

bool CodePointSet::Contains(char32_t codePoint) const {
  if (codePoint > kLastCodePoint) return false;
  return (bits_[codePoint / kWordBits] >> (codePoint % kWordBits)) & 1;
}

}  // namespace velloway
