#include "check_report.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "script/script_loader.h"

namespace velloway::check {
namespace {

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

TEST(CheckReport, JsonEscapesControlCharacters) {
  const LoadedScript script =
      ParseScript(std::string("TEXT\ta\x01"
                              "b\0c",
                              10));
  EXPECT_THAT(ScriptJson("s.vws", script), HasSubstr("\"Param1\": \"a\\u0001b\\u0000c\""));
}

}  // namespace
}  // namespace velloway::check
