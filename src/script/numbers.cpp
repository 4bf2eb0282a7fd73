#include "script/numbers.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace velloway {
namespace {

constexpr double kInt16Min = -32768.0;
constexpr double kInt16Max = 32767.0;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Parses unsigned decimal digits with an optional point ("12", "12.", ".5", "1.25"), which
// std::from_chars takes only in its complete forms.
double ParseUnsignedDecimal(std::string_view digits) {
  std::string text(digits);
  if (text.front() == '.') text.insert(text.begin(), '0');
  if (text.back() == '.') text.push_back('0');
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc::result_out_of_range) {
    // Too many digits before the point overflow; a tiny fraction underflows to zero.
    const bool integerPartIsZero = text.find_first_not_of('0') == text.find('.');
    return integerPartIsZero ? 0.0 : std::numeric_limits<double>::infinity();
  }
  return value;
}

}  // namespace

double RoundHalfEven(double value) {
  if (!std::isfinite(value)) return value;
  const double floor = std::floor(value);
  const double fraction = value - floor;
  if (fraction > 0.5) return floor + 1.0;
  if (fraction < 0.5) return floor;
  return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

std::int16_t RoundToInt16Clamped(double value) {
  if (std::isnan(value)) return 0;
  const double rounded = RoundHalfEven(value);
  if (rounded < kInt16Min) return std::numeric_limits<std::int16_t>::min();
  if (rounded > kInt16Max) return std::numeric_limits<std::int16_t>::max();
  return static_cast<std::int16_t>(rounded);
}

WholeNumber ReadWholeNumber(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  text = text.substr(first, text.find_last_not_of(' ') - first + 1);

  const bool negative = text.front() == '-';
  if (text.front() == '-' || text.front() == '+') text.remove_prefix(1);
  std::size_t digits = 0;
  std::size_t points = 0;
  for (const char c : text) {
    if (IsDigit(c)) {
      ++digits;
    } else if (c == '.' && points == 0) {
      ++points;
    } else {
      return {};
    }
  }
  if (digits == 0) return {};

  const double magnitude = RoundHalfEven(ParseUnsignedDecimal(text));
  const double value = negative ? -magnitude : magnitude;
  if (value < kInt16Min || value > kInt16Max) return {0, WholeNumberStatus::OutOfRange};
  return {static_cast<std::int16_t>(value), WholeNumberStatus::Ok};
}

double LeadingNumber(std::string_view text) {
  const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\n'; };
  std::size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  std::string number;
  bool sawDigit = false;
  bool sawPoint = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (isBlank(c)) continue;
    if (IsDigit(c)) {
      sawDigit = true;
    } else if (c == '.' && !sawPoint) {
      sawPoint = true;
    } else {
      break;
    }
    number.push_back(c);
  }
  if (!sawDigit) return 0.0;
  const double magnitude = ParseUnsignedDecimal(number);
  return negative ? -magnitude : magnitude;
}

std::int16_t LeadingNumber16(std::string_view text) {
  return RoundToInt16Clamped(LeadingNumber(text));
}

}  // namespace velloway
