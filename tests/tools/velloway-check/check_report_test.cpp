#include "check_report.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "script/script_loader.h"
#include "script_checks.h"
#include "support/temp_dir.h"

namespace velloway::check {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;

TEST(CheckReport, ExitStatusAndLinesFollowWhatWasLoaded) {
  const struct {
    std::string text;
    int status;
    std::string lines;
  } cases[] = {
      {"HEADER\t10\t2\tMID\t000000\nCLEAR\n", kClean, ""},
      {"HEADER\t10\t9\tMID\t000000\n", kHasDiagnostics,
       "s.vws:1: warning: SpeedIndex 9 is outside 0..3; 3 is used\n"},
      {"# c\nTEXT\t1\t2\t3\t4\t5\t6\n", kHasDiagnostics,
       "s.vws:2: warning: record line has 6 parameters, at most 5 are read; the rest is ignored\n"},
  };
  for (const auto& c : cases) {
    const LoadedScript script = ParseScript(c.text);
    EXPECT_EQ(ExitStatus(script), c.status) << c.text;
    EXPECT_EQ(DiagnosticLines("s.vws", script), c.lines) << c.text;
  }
}

TEST(CheckReport, UnreadableScriptNamesTheFileAndReason) {
  LoadedScript script;
  script.Failure = ScriptReadFailure{"x/Night.vws", "Script not found"};
  EXPECT_EQ(ExitStatus(script), kUnreadable);
  EXPECT_EQ(DiagnosticLines("Night.vws", script), "Night.vws: error: Script not found\n");
  EXPECT_THAT(ScriptJson("Night.vws", script), HasSubstr("\"error\": \"Script not found\""));
}

TEST(CheckReport, FirstPlayingErrorIsWordedAsTheLinesWordIt) {
  const struct {
    std::string text;
    std::optional<std::string> error;
  } cases[] = {
      {"HEADER\t10\t2\tMID\t000000\nTEXTT\n", std::nullopt},
      {"HEADER\t10\t2\tMID\t000000\n",
       "s.vws:1: error: the script has no records: the saver shows its background only"},
      {"# c\nHEADER\t10\t0\tMID\t000000\nCLEAR\n",
       "s.vws:2: error: SpeedIndex 0: the roll does not play"},
      {"\n\nHEADER\t10\t0\tMID\t000000\n",
       "s.vws:1: error: the script has no records: the saver shows its background only"},
      {"TEXT\tArial\t1\tHi\tFFFFFF\t1\n",
       "s.vws:1: error: no header line: speed 0 shows no roll, on a black screen"},
  };
  for (const auto& c : cases) {
    const LoadedScript script = ParseScript(c.text);
    EXPECT_EQ(FirstPlayingError("s.vws", script), c.error) << c.text;
  }
  LoadedScript unread;
  unread.Failure = ScriptReadFailure{"x/Night.vws", "Script not found"};
  EXPECT_EQ(FirstPlayingError("Night.vws", unread), "Night.vws: error: Script not found");
}

TEST(CheckReport, JsonHoldsHeaderAndRecordsAsLoaded) {
  const LoadedScript script =
      ParseScript("HEADER\t12\t3\tmid\tff8000\ntext\tArial\t1\tSay \"hi\"\\\t00FF00\t1\n\tx\n");
  EXPECT_EQ(ScriptJson("s.vws", script),
            "{\n"
            "  \"file\": \"s.vws\",\n"
            "  \"encoding\": \"UTF-8\",\n"
            "  \"header\": {\"BaseFontSize\": 12, \"SpeedIndex\": 3, \"AlignMode\": \"MID\", "
            "\"BackColorText\": \"ff8000\"},\n"
            "  \"RecordCount\": 2,\n"
            "  \"records\": [\n"
            "    {\"record\": 1, \"line\": 2, \"Command\": \"TEXT\", \"Param1\": \"Arial\", "
            "\"Param2\": \"1\", \"Param3\": \"Say \\\"hi\\\"\\\\\", \"Param4\": \"00FF00\", "
            "\"Param5\": \"1\"},\n"
            "    {\"record\": 2, \"line\": 3, \"Command\": \"\", \"Param1\": \"x\", "
            "\"Param2\": \"\", \"Param3\": \"\", \"Param4\": \"\", \"Param5\": \"\"}\n"
            "  ],\n"
            "  \"diagnostics\": []\n"
            "}\n");
}

TEST(CheckReport, ScriptTextIsShownEscapedAndCut) {
  const std::string a256(256, 'A');
  std::string kana;  // 100 x "\u3042", three bytes each: cut before the 86th
  for (int i = 0; i < 100; ++i) kana += "\xE3\x81\x82";
  const struct {
    std::string command;
    std::string shown;  // in the message on a terminal
    std::string json;   // in the JSON record
  } cases[] = {
      {"X\x1B]0;T\x07\x1B[2J", "X\\x1b]0;T\\x07\\x1b[2J", "X\\u001b]0;T\\u0007\\u001b[2J"},
      {std::string("A\0B\x7F", 4), "A\\0B\\x7f", "A\\u0000B\\u007f"},
      {"C\xC2\x9B"
       "1M\x01",
       "C\\u009b1M\\x01", "C\\u009b1M\\u0001"},
      {a256 + std::string(1'000'000, 'A'), a256 + "\xE2\x80\xA6 (1,000,000 more bytes)",
       a256 + "\xE2\x80\xA6 (1,000,000 more bytes)"},
      {kana, kana.substr(0, 255) + "\xE2\x80\xA6 (45 more bytes)",
       kana.substr(0, 255) + "\xE2\x80\xA6 (45 more bytes)"},
  };
  for (const auto& c : cases) {
    LoadedScript script = ParseScript("HEADER\t10\t2\tMID\t000000\n" + c.command + "\n");
    script.Diagnostics = CheckScript(script, {});
    EXPECT_EQ(DiagnosticLines("s.vws", script),
              "s.vws:2: warning: unknown command \"" + c.shown + "\": the saver skips it\n")
        << c.shown;
    EXPECT_THAT(ScriptJson("s.vws", script), HasSubstr("\"Command\": \"" + c.json + "\""))
        << c.json;
  }
}

TEST(CheckReport, ARollLongerThanTheTimelinePlaysSaysSo) {
  testing::TempDir dir;
  // At 100 ms: WAIT 1 dispatched on tick 1 and held 10 more; record 1 again on tick 12.
  dir.Write("Wait.vws", "HEADER\t20\t3\tMID\t000000\nWAIT\t1\n");
  const struct {
    std::int64_t maxTicks;
    std::string text;
    std::string json;
  } cases[] = {
      {11, "loop: 11 ticks, 1.100 seconds\n", "\"loop\": {\"ticks\": 11, \"seconds\": 1.100}"},
      {10, "loop: longer than 10 ticks, 1.000 seconds (0.0 days): the timeline stops there\n",
       "\"loop\": {\"longerThanTicks\": 10, \"longerThanSeconds\": 1.000}"},
  };
  for (const auto& c : cases) {
    TimelineOptions options;
    options.MaxTicks = c.maxTicks;
    const Timeline timeline = PlayTimeline(dir.Utf8() + "/Wait.vws", options);
    EXPECT_THAT(TimelineText(timeline), EndsWith(c.text)) << c.maxTicks;
    EXPECT_THAT(TimelineJson(timeline), HasSubstr(c.json)) << c.maxTicks;
  }
}

}  // namespace
}  // namespace velloway::check
