// The one reader of the terminal programs' command lines: the spellings it takes for the same
// options, "--" before operands, --help and --version, and its one wording for what is wrong.
// Each case reads anew, so the table also shows that getopt starts afresh at every read.
#include "platform/long_options.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace velloway::platform {
namespace {

const std::array<LongOption, 3> kOptions = {{
    {"script", "FILE", "a script's file", "the script"},
    {"smooth", "", "", "smooth motion"},
    {"output", "FILE", "the film's file", "the film", 'o'},
}};

CommandLine Line(bool oneDash) {
  return {.Program = "prog",
          .Usage = "[OPTION]... SCRIPT",
          .About = "Does it.",
          .Options = kOptions,
          .Operand = "SCRIPT",
          .OneDash = oneDash};
}

// The options read, as "name=value" each, and the operand after a '|'.
std::string Described(const ReadArguments& read) {
  std::string text;
  for (const GivenOption& given : read.Given) {
    text += std::string(kOptions[given.Index].Name) + "=" + given.Value + " ";
  }
  return text + "|" + read.Operand.value_or("");
}

TEST(LongOptions, ReadsEachSpellingOfTheSameOptionsAlike) {
  const struct {
    bool oneDash;
    std::vector<std::string> args;
    const char* read;
  } cases[] = {
      {false, {"--script", "a b.vws"}, "script=a b.vws |"},
      {false, {"--script=a b.vws"}, "script=a b.vws |"},
      {false, {"--script==a"}, "script==a |"},
      {false, {"--script="}, "script= |"},
      {false, {"-o", "f.mp4", "x.vws"}, "output=f.mp4 |x.vws"},
      {false, {"x.vws", "-of.mp4"}, "output=f.mp4 |x.vws"},
      {false, {"--output=f.mp4", "x.vws"}, "output=f.mp4 |x.vws"},
      {false, {"--smooth", "--", "-x.vws"}, "smooth= |-x.vws"},
      {false, {"--", "--smooth"}, "|--smooth"},
      {false, {"-"}, "|-"},
      {true, {"-script", "a.vws", "-smooth"}, "script=a.vws smooth= |"},
      {true, {"-script=a.vws", "--smooth"}, "script=a.vws smooth= |"},
      {true, {"--script", "a.vws", "-smooth"}, "script=a.vws smooth= |"},
  };
  for (const auto& c : cases) {
    const ReadArguments read = ReadLongOptions(Line(c.oneDash), c.args);
    EXPECT_EQ(read.Error, "") << c.read;
    EXPECT_EQ(Described(read), c.read);
  }
}

TEST(LongOptions, WordsWhatIsWrongOneWay) {
  const struct {
    bool oneDash;
    std::vector<std::string> args;
    const char* error;
  } cases[] = {
      {false, {"--bogus"}, "unknown option \"--bogus\""},
      {false, {"-x"}, "unknown option \"-x\""},
      {true, {"-bogus", "a.vws"}, "unknown option \"-bogus\""},
      {false, {"--script"}, "--script needs a value: a script's file"},
      {false, {"a.vws", "-o"}, "--output needs a value: the film's file"},
      {true, {"-script"}, "--script needs a value: a script's file"},
      {false, {"--smooth=yes"}, "--smooth takes no value, not \"yes\""},
      {false, {"a.vws", "b.vws"}, "unexpected argument \"b.vws\""},
      {false, {"a.vws", "--", "-b.vws"}, "unexpected argument \"-b.vws\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadLongOptions(Line(c.oneDash), c.args).Error, c.error);
  }
  EXPECT_EQ(WrongValue(kOptions[0], ""), "--script takes a script's file, not \"\"");
}

TEST(LongOptions, HelpAndVersionEndTheReading) {
  const struct {
    std::vector<std::string> args;
    bool help;
    bool version;
  } cases[] = {
      {{"--help", "--bogus"}, true, false},
      {{"a.vws", "-h"}, true, false},
      {{"--version", "b", "c"}, false, true},
  };
  for (const auto& c : cases) {
    const ReadArguments read = ReadLongOptions(Line(false), c.args);
    EXPECT_EQ(read.Error, "");
    EXPECT_EQ(read.Help, c.help);
    EXPECT_EQ(read.Version, c.version);
  }
  EXPECT_TRUE(std::regex_match(VersionText(Line(false)), std::regex("prog \\d+\\.\\d+\\.\\d+\n")));
}

TEST(LongOptions, ReadsWholeNumbersAndSizesWithinTheirBounds) {
  EXPECT_EQ(ReadWhole(std::string_view("48"), 48, 480), 48);
  EXPECT_EQ(ReadWhole(std::string_view("480"), 48, 480), 480);
  EXPECT_EQ(ReadWhole<std::uint32_t>("50d", 1, 0xFFFFFFFF, 16), 0x50du);
  for (const char* refused : {"47", "481", "", "+50", "50 ", "5e1", "0x50"}) {
    EXPECT_EQ(ReadWhole(std::string_view(refused), 48, 480), std::nullopt) << refused;
  }
  const struct {
    const char* text;
    std::optional<std::pair<int, int>> size;
  } sizes[] = {
      {"640x480", std::pair{640, 480}}, {"16x16", std::pair{16, 16}},
      {"700x480", std::nullopt},        {"640x490", std::nullopt},
      {"15x100", std::nullopt},         {"640X480", std::nullopt},
      {"640x", std::nullopt},           {"x480", std::nullopt},
      {"640x480x2", std::nullopt},      {"640", std::nullopt},
  };
  for (const auto& c : sizes) {
    const auto size = ReadSize(c.text, 16, {640, 480});
    EXPECT_EQ(size ? std::optional(std::pair{size->Width, size->Height}) : std::nullopt, c.size)
        << c.text;
  }
  EXPECT_EQ(ReadCodePage("932"), 932u);
  for (const char* refused : {"0", "65536", "shift-jis", ""}) {
    EXPECT_EQ(ReadCodePage(refused), std::nullopt) << refused;
  }
}

}  // namespace
}  // namespace velloway::platform
