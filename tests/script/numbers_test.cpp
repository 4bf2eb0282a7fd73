#include "script/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace velloway {
namespace {

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
  const struct {
    double in, out;
  } cases[] = {{2.5, 2},   {3.5, 4},   {-2.5, -2}, {-3.5, -4}, {0.5, 0},   {1.5, 2},
               {12.5, 12}, {13.5, 14}, {1.4, 1},   {1.6, 2},   {-1.4, -1}, {0, 0}};
  for (const auto& c : cases) EXPECT_EQ(RoundHalfEven(c.in), c.out) << c.in;
}

TEST(ReadWholeNumber, AcceptsPlainDecimalsOnly) {
  const struct {
    const char* text;
    WholeNumberStatus status;
    std::int16_t value;
  } cases[] = {
      {"12", WholeNumberStatus::Ok, 12},
      {" 12 ", WholeNumberStatus::Ok, 12},
      {"+7", WholeNumberStatus::Ok, 7},
      {"-7", WholeNumberStatus::Ok, -7},
      {"-0", WholeNumberStatus::Ok, 0},
      {"12.5", WholeNumberStatus::Ok, 12},
      {"13.5", WholeNumberStatus::Ok, 14},
      {"-2.5", WholeNumberStatus::Ok, -2},
      {"2.", WholeNumberStatus::Ok, 2},
      {".5", WholeNumberStatus::Ok, 0},
      {"32767", WholeNumberStatus::Ok, 32767},
      {"32767.4", WholeNumberStatus::Ok, 32767},
      {"-32768", WholeNumberStatus::Ok, -32768},
      {"-32768.5", WholeNumberStatus::Ok, -32768},
      {"32767.5", WholeNumberStatus::OutOfRange, 0},
      {"32768", WholeNumberStatus::OutOfRange, 0},
      {"-32769", WholeNumberStatus::OutOfRange, 0},
      {"99999999999", WholeNumberStatus::OutOfRange, 0},
      {"", WholeNumberStatus::NotANumber, 0},
      {"   ", WholeNumberStatus::NotANumber, 0},
      {"abc", WholeNumberStatus::NotANumber, 0},
      {"12abc", WholeNumberStatus::NotANumber, 0},
      {"1 2", WholeNumberStatus::NotANumber, 0},
      {"1e3", WholeNumberStatus::NotANumber, 0},
      {"0x10", WholeNumberStatus::NotANumber, 0},
      {"1,000", WholeNumberStatus::NotANumber, 0},
      {"1.2.3", WholeNumberStatus::NotANumber, 0},
      {".", WholeNumberStatus::NotANumber, 0},
      {"-", WholeNumberStatus::NotANumber, 0},
      {"--1", WholeNumberStatus::NotANumber, 0},
      {"\xEF\xBC\x91", WholeNumberStatus::NotANumber, 0},  // full-width digit one
  };
  for (const auto& c : cases) {
    const WholeNumber n = ReadWholeNumber(c.text);
    EXPECT_EQ(n.Status, c.status) << '"' << c.text << '"';
    EXPECT_EQ(n.Value, c.value) << '"' << c.text << '"';
  }
}

TEST(LeadingNumber, ReadsTheDecimalNumberAtTheStart) {
  const struct {
    const char* text;
    double value;
  } cases[] = {
      {"3", 3},       {"  3", 3},   {"1 2", 12},  {"1\t2\n3", 123}, {"-3", -3},
      {"- 3", -3},    {"+4", 4},    {"2.5", 2.5}, {".5", 0.5},      {"1.4abc", 1.4},
      {"1.2.3", 1.2}, {"12px", 12}, {"", 0},      {"abc", 0},       {"-", 0},
      {".", 0},       {"1e3", 1},   {"&H10", 0},  {"0", 0},         {"007", 7},
  };
  for (const auto& c : cases) EXPECT_EQ(LeadingNumber(c.text), c.value) << '"' << c.text << '"';
}

TEST(LeadingNumber, HugeAndTinyNumbersDoNotFail) {
  EXPECT_EQ(LeadingNumber(std::string(400, '9')), std::numeric_limits<double>::infinity());
  EXPECT_EQ(LeadingNumber("-" + std::string(400, '9')), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(LeadingNumber("0." + std::string(400, '0') + "1"), 0.0);
}

TEST(LeadingNumber16, RoundsHalfToEvenAndClamps) {
  const struct {
    const char* text;
    std::int16_t value;
  } cases[] = {{"2.5", 2},
               {"3.5", 4},
               {"1.4", 1},
               {"-2.5", -2},
               {"32767", 32767},
               {"32768", 32767},
               {"99999999999", 32767},
               {"-32768", -32768},
               {"-40000", -32768},
               {"", 0},
               {"x", 0}};
  for (const auto& c : cases) EXPECT_EQ(LeadingNumber16(c.text), c.value) << '"' << c.text << '"';
}

TEST(RoundToInt16Clamped, HandlesNonFiniteValues) {
  EXPECT_EQ(RoundToInt16Clamped(std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(RoundToInt16Clamped(std::numeric_limits<double>::infinity()), 32767);
  EXPECT_EQ(RoundToInt16Clamped(-std::numeric_limits<double>::infinity()), -32768);
}

}  // namespace
}  // namespace velloway
