#include "base/code_point_set.h"

namespace velloway {

CodePointSet::CodePointSet() : bits_(kLast / kWordBits + 1) {}

void CodePointSet::Add(char32_t first, char32_t last) {
  if (last > kLast) last = kLast;
  for (char32_t c = first; c <= last; ++c) {
    bits_[c / kWordBits] |= std::uint64_t{1} << (c % kWordBits);
  }
}

void CodePointSet::AddBits(char32_t first, std::uint32_t bits) {
  if (first > kLast) return;
  bits_[first / kWordBits] |= std::uint64_t{bits} << (first % kWordBits);
}

}  // namespace velloway
