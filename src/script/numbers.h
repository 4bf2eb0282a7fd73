#pragma once
#include <cstdint>
#include <string_view>

namespace velloway {

// Rounds to the nearest whole number; a value exactly half-way goes to the even neighbour.
double RoundHalfEven(double value);

// Rounds half to even and clamps into -32768..32767; NaN gives 0.
std::int16_t RoundToInt16Clamped(double value);

enum class WholeNumberStatus { Ok, NotANumber, OutOfRange };

struct WholeNumber {
  std::int16_t Value = 0;  // 0 unless Status is Ok
  WholeNumberStatus Status = WholeNumberStatus::NotANumber;
};

// The reading of header numbers: the whole text must be one plain decimal number (blanks around
// it, a sign and a fraction allowed), rounded half to even into -32768..32767.
WholeNumber ReadWholeNumber(std::string_view text);

// The reading of record parameters: the decimal number at the start of the text. Blanks, tabs and
// line feeds are skipped wherever they stand ("1 2" reads 12); no number gives 0; never fails.
// A number too large for a double reads as an infinity of its sign.
double LeadingNumber(std::string_view text);

// The leading number rounded half to even and clamped into the 16-bit range.
std::int16_t LeadingNumber16(std::string_view text);

}  // namespace velloway
