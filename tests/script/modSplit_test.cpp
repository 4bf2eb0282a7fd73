#include "script/modSplit.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace velloway {
namespace {

using ::testing::ElementsAreArray;

TEST(SplitFields, CutsAtEveryTab) {
  const struct {
    std::string text;
    std::vector<std::string> fields;
  } cases[] = {
      {"HEADER", {"HEADER"}},
      {"   ", {"   "}},
      {"\t", {"", ""}},
      {"\t\t\t", {"", "", "", ""}},
      {"A\t\tB", {"A", "", "B"}},
      {"\tA", {"", "A"}},
      {"A\t", {"A", ""}},
      {"A\t B \tD", {"A", " B ", "D"}},
      {std::string("a\0b\tc", 5), {std::string("a\0b", 3), "c"}},
  };
  for (const auto& c : cases) {
    const SplitResult result = SplitFields(c.text, '\t');
    ASSERT_TRUE(std::holds_alternative<FieldList>(result)) << c.text;
    EXPECT_THAT(std::get<FieldList>(result), ElementsAreArray(c.fields)) << c.text;
  }
}

TEST(SplitFields, EmptyTextGivesTheNumberOne) {
  const SplitResult result = SplitFields("", '\t');
  ASSERT_TRUE(std::holds_alternative<std::int32_t>(result));
  EXPECT_EQ(std::get<std::int32_t>(result), 1);
}

TEST(SplitFields, ManyDelimitersGiveOneMoreField) {
  const std::string text(100000, '\t');
  const SplitResult result = SplitFields(text, '\t');
  ASSERT_TRUE(std::holds_alternative<FieldList>(result));
  EXPECT_EQ(std::get<FieldList>(result).size(), 100001u);
}

TEST(SplitFields, OtherDelimiterIsCaseSensitive) {
  const SplitResult result = SplitFields("aXbxc", 'x');
  EXPECT_THAT(std::get<FieldList>(result), ElementsAreArray({"aXb", "c"}));
}

}  // namespace
}  // namespace velloway
