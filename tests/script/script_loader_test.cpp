#include "script/script_loader.h"

#include "support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace velloway {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// A record as its command and five parameters, for compact expectations; read in one pass, the
// parameters are the same.
std::vector<std::string> Fields(const RollRecord& record) {
  std::vector<std::string> fields{record.CommandText()};
  const auto params = record.Params();
  for (int i = 1; i <= RollRecord::kMaxParam; ++i) {
    fields.emplace_back(record.Param(i));
    EXPECT_EQ(params[static_cast<std::size_t>(i - 1)], record.Param(i)) << i;
  }
  return fields;
}

std::vector<std::vector<std::string>> AllFields(const LoadedScript& script) {
  std::vector<std::vector<std::string>> all;
  for (std::int32_t i = 1; i <= script.RecordCount(); ++i) all.push_back(Fields(script.Record(i)));
  return all;
}

std::int32_t LineOf(const LoadedScript& script, std::int32_t record) {
  return RecordLineNumbers(script).LineOf(record);
}

void ExpectDefaultHeader(const ScriptHeader& header) {
  EXPECT_EQ(header.BaseFontSize, 0);
  EXPECT_EQ(header.SpeedIndex, 0);
  EXPECT_EQ(header.AlignMode, "");
  EXPECT_EQ(header.BackColorText, "");
}

TEST(ParseScript, EmptyTextHasNoRecordsAndTheDefaultHeader) {
  const LoadedScript script = ParseScript("");
  EXPECT_EQ(script.RecordCount(), 0);
  ExpectDefaultHeader(script.Header);
  EXPECT_TRUE(script.Diagnostics.empty());
}

TEST(ParseScript, ReadsRecordsInFileOrder) {
  const LoadedScript script = ParseScript(
      "text\tArial\t1\tHello World \tFFFFFF\t1\r\n"
      "\r\n"
      "CLEAR\r\n"
      "Wait\t3\r\n"
      "bgm\tOn\tsnd\\theme.mid\r\n");
  EXPECT_THAT(AllFields(script),
              ElementsAre(ElementsAre("TEXT", "Arial", "1", "Hello World ", "FFFFFF", "1"),
                          ElementsAre("CLEAR", "", "", "", "", ""),
                          ElementsAre("WAIT", "3", "", "", "", ""),
                          ElementsAre("BGM", "On", "snd\\theme.mid", "", "", "")));
  EXPECT_EQ(script.RecordCount(), 4);
  EXPECT_EQ(LineOf(script, 1), 1);
  EXPECT_EQ(LineOf(script, 2), 3);  // the empty line is skipped, not numbered anew
  EXPECT_EQ(script.Record(1).Param(0), "");
  EXPECT_TRUE(script.Diagnostics.empty());
}

TEST(ParseScript, TellsLineKindsApart) {
  const struct {
    const char* line;
    std::vector<std::string> record;  // empty: the line makes no record
  } cases[] = {
      {"# comment", {}},
      {"#HEADER\t1\t2\tMID\tFFFFFF", {}},
      {"#", {}},
      {" #not a comment", {" #NOT A COMMENT", "", "", "", "", ""}},
      {"\t#x", {"", "#x", "", "", "", ""}},
      {"\t", {"", "", "", "", "", ""}},
      {"   ", {"   ", "", "", "", "", ""}},
      {"HEADER \t1\t2\tMID\tFFFFFF", {"HEADER ", "1", "2", "MID", "FFFFFF", ""}},
      {" HEADER\t1", {" HEADER", "1", "", "", "", ""}},
      {"CLEAR\t", {"CLEAR", "", "", "", "", ""}},
      {"misspelt\tx", {"MISSPELT", "x", "", "", "", ""}},
  };
  for (const auto& c : cases) {
    const LoadedScript script = ParseScript(c.line);
    if (c.record.empty()) {
      EXPECT_EQ(script.RecordCount(), 0) << c.line;
    } else {
      ASSERT_EQ(script.RecordCount(), 1) << c.line;
      EXPECT_EQ(Fields(script.Record(1)), c.record) << c.line;
    }
  }
}

TEST(ParseScript, HeaderKeywordIgnoresCaseAndWidth) {
  for (const char* keyword : {"HEADER", "header", "Header",
                              "\xEF\xBC\xA8\xEF\xBD\x85\xEF\xBD\x81"
                              "\xEF\xBD\x84\xEF\xBD\x85\xEF\xBD\x92"}) {
    const LoadedScript script = ParseScript(std::string(keyword) + "\t12\t2\tmid\tff8000");
    EXPECT_EQ(script.RecordCount(), 0) << keyword;
    EXPECT_EQ(script.Header.BaseFontSize, 12) << keyword;
    EXPECT_EQ(script.Header.SpeedIndex, 2) << keyword;
    EXPECT_EQ(script.Header.AlignMode, "MID") << keyword;
    EXPECT_EQ(script.Header.BackColorText, "ff8000") << keyword;
  }
}

TEST(ParseScript, HeaderValues) {
  const struct {
    const char* line;
    std::int16_t size, speed;
    const char* align;
    const char* colour;
    int diagnostics;
  } cases[] = {
      {"HEADER\t12.5\t1\tLEFT\t000000", 12, 1, "LEFT", "000000", 0},
      {"HEADER\t13.5\t3\tright\t000000", 14, 3, "RIGHT", "000000", 0},
      {"HEADER\t10\t2\t\xEF\xBC\xAD\xEF\xBC\xA9\xEF\xBC\xA4\tFFFFFF\textra\tmore", 10, 2, "MID",
       "FFFFFF", 0},
      {"HEADER\t10\t2", 10, 2, "", "", 1},  // missing fields count as empty
      {"HEADER", 0, 0, "", "", 3},          // and empty numbers are 0
      {"HEADER\tbig\t2\tMID\tFFFFFF", 0, 2, "MID", "FFFFFF", 1},
      {"HEADER\t40000\t2\tMID\tFFFFFF", 0, 2, "MID", "FFFFFF", 1},
      {"HEADER\t10\t7\tMID\tFFFFFF", 10, 3, "MID", "FFFFFF", 1},  // speed clamped
      {"HEADER\t10\t-1\tMID\tFFFFFF", 10, 0, "MID", "FFFFFF", 1},
      {"HEADER\t10\t2.5\tMID\t#FF8000 ", 10, 2, "MID", "#FF8000 ", 0},
  };
  for (const auto& c : cases) {
    const LoadedScript script = ParseScript(c.line);
    EXPECT_EQ(script.Header.BaseFontSize, c.size) << c.line;
    EXPECT_EQ(script.Header.SpeedIndex, c.speed) << c.line;
    EXPECT_EQ(script.Header.AlignMode, c.align) << c.line;
    EXPECT_EQ(script.Header.BackColorText, c.colour) << c.line;
    EXPECT_EQ(static_cast<int>(script.Diagnostics.size()), c.diagnostics) << c.line;
    for (const ScriptDiagnostic& d : script.Diagnostics) EXPECT_EQ(d.Line, 1);
  }
}

TEST(ParseScript, LaterHeaderReplacesEarlierOneCompletely) {
  const LoadedScript script =
      ParseScript("TEXT\ta\nHEADER\t10\t1\tLEFT\t111111\nTEXT\tb\nHEADER\t20\t3\t\t\nTEXT\tc\n");
  EXPECT_EQ(script.Header.BaseFontSize, 20);
  EXPECT_EQ(script.Header.SpeedIndex, 3);
  EXPECT_EQ(script.Header.AlignMode, "");
  EXPECT_EQ(script.Header.BackColorText, "");
  ASSERT_EQ(script.RecordCount(), 3);
  EXPECT_EQ(script.Record(1).Param(1), "a");
  EXPECT_EQ(script.Record(3).Param(1), "c");
}

TEST(ParseScript, ExtraRecordFieldsAreIgnoredWithADiagnostic) {
  const LoadedScript script = ParseScript("# first\nTEXT\t1\t2\t3\t4\t5\t\n");
  ASSERT_EQ(script.RecordCount(), 1);
  EXPECT_EQ(Fields(script.Record(1)), (std::vector<std::string>{"TEXT", "1", "2", "3", "4", "5"}));
  ASSERT_EQ(script.Diagnostics.size(), 1u);
  EXPECT_EQ(script.Diagnostics[0].Line, 2);
  EXPECT_THAT(script.Diagnostics[0].Message, HasSubstr("6 parameters"));
}

TEST(ParseScript, ListsTheFirstTenThousandDiagnosticsThenSaysMoreFollow) {
  std::string text;
  for (int i = 0; i < 20'000; ++i) text += "TEXT\t1\t2\t3\t4\t5\t6\n";
  const LoadedScript script = ParseScript(text);
  EXPECT_EQ(script.RecordCount(), 20'000);
  ASSERT_EQ(script.Diagnostics.size(), 10'001u);
  EXPECT_THAT(script.Diagnostics[9'999].Message, HasSubstr("6 parameters"));
  EXPECT_EQ(script.Diagnostics.back().Line, 10'001);
  EXPECT_THAT(script.Diagnostics.back().Message, HasSubstr("not listed"));
}

TEST(ParseScript, EveryLineEndGivesTheSameRecords) {
  // The header and a record that draws a warning each follow an empty line.
  const std::string lines[] = {"# c",
                               "",
                               "HEADER\t10\t2\tMID\t000000",
                               "TEXT\tArial\t1\tA\tFFFFFF\t1",
                               "",
                               "WAIT\t2\t\t\t\t\t7",
                               "CLEAR"};
  const auto join = [&](const std::string& end, bool finalEnd) {
    std::string text;
    for (std::size_t i = 0; i < std::size(lines); ++i) {
      text += lines[i];
      if (i + 1 < std::size(lines) || finalEnd) text += end;
    }
    return text;
  };
  const LoadedScript reference = ParseScript(join("\r\n", true));
  ASSERT_EQ(reference.RecordCount(), 3);
  for (const char* end : {"\r\n", "\n", "\r"}) {
    for (const bool finalEnd : {true, false}) {
      const LoadedScript script = ParseScript(join(end, finalEnd));
      EXPECT_EQ(AllFields(script), AllFields(reference));
      EXPECT_EQ(LineOf(script, 3), 7);
      EXPECT_EQ(script.HeaderLine, 3);
      ASSERT_EQ(script.Diagnostics.size(), 1u);
      EXPECT_EQ(script.Diagnostics[0].Line, 6);
    }
  }
}

TEST(LoadScriptBytes, ReadsJapaneseTextInEveryEncoding) {
  const std::string line =
      "TEXT\tIPAGothic\t1\t\xE3\x81\x82\xE3\x82\x8A\xE3\x81\x8C\xE3\x81\xA8\xE3\x81\x86"
      "\tFFFFFF\t1\r\n";  // ありがとう
  const std::string sjisLine =
      "TEXT\tIPAGothic\t1\t\x82\xA0\x82\xE8\x82\xAA\x82\xC6\x82\xA4\tFFFFFF\t1\r\n";
  std::string utf16le = "\xFF\xFE";
  for (const char c : std::string("TEXT\tIPAGothic\t1\t")) utf16le += std::string{c, '\0'};
  utf16le += std::string("\x42\x30\x8A\x30\x4C\x30\x68\x30\x46\x30", 10);
  for (const char c : std::string("\tFFFFFF\t1\r\n")) utf16le += std::string{c, '\0'};

  for (const std::string& bytes : {line, "\xEF\xBB\xBF" + line, utf16le, sjisLine}) {
    const LoadedScript script = LoadScriptBytes(bytes, 932);
    ASSERT_EQ(script.RecordCount(), 1);
    EXPECT_EQ(script.Record(1).Param(3),
              "\xE3\x81\x82\xE3\x82\x8A\xE3\x81\x8C\xE3\x81\xA8\xE3\x81\x86");
  }
}

class ScriptFileTest : public ::testing::Test {
 protected:
  std::string Dir() const { return dir_.Utf8(); }
  void Write(const std::string& name, const std::string& bytes) { dir_.Write(name, bytes); }

  testing::TempDir dir_;
};

TEST_F(ScriptFileTest, ReadsTheChosenFileFromTheScriptFolder) {
  Write("Night.vws", "HEADER\t10\t2\tMID\t000080\r\nTEXT\tArial\t1\tGood night\tFFFFFF\t1");
  const LoadedScript script =
      LoadChosenScript(Dir(), "Night.vws", 1252, testing::MachineFileNames());
  EXPECT_FALSE(script.Failure.has_value());
  EXPECT_EQ(script.Header.BackColorText, "000080");
  ASSERT_EQ(script.RecordCount(), 1);
  EXPECT_EQ(script.Record(1).Param(3), "Good night");
}

TEST_F(ScriptFileTest, NonAsciiFileNamesOpen) {
  const std::string name = "\xE5\xA4\x9C.vws";  // 夜.vws
  Write(name, "CLEAR");
  const LoadedScript script = LoadChosenScript(Dir(), name, 1252, testing::MachineFileNames());
  EXPECT_FALSE(script.Failure.has_value());
  EXPECT_EQ(script.RecordCount(), 1);
}

TEST_F(ScriptFileTest, FailuresSayWhichFileAndWhy) {
  std::filesystem::create_directories(dir_.Path() / "Folder.vws");
  // Sparse: it takes no room on the disk, and is not read.
  Write("Huge.vws", "");
  std::filesystem::resize_file(dir_.Path() / "Huge.vws", kMaxScriptBytes + 1);
#ifndef _WIN32
  std::filesystem::create_directory_symlink("Loop", dir_.Path() / "Loop");
#endif
  const struct {
    const char* name;
    const char* reason;
  } cases[] = {
      {"Missing.vws", "Script not found"},
      {"Folder.vws", "Script is a folder"},
      {"Huge.vws", "Script is larger than 256 MB"},
      {"", "No script chosen"},
#ifndef _WIN32
      // A folder that cannot be followed (a loop of links; as one that may not be searched, but
      // so for root too): the script may be there.
      {"Loop/Night.vws", "Script cannot be read"},
#endif
  };
  for (const auto& c : cases) {
    const LoadedScript script = LoadChosenScript(Dir(), c.name, 1252, testing::MachineFileNames());
    ASSERT_TRUE(script.Failure.has_value()) << c.name;
    EXPECT_EQ(script.Failure->Reason, c.reason);
    EXPECT_EQ(script.Failure->Path, ScriptFilePath(Dir(), c.name, testing::MachineFileNames()));
    EXPECT_EQ(script.RecordCount(), 0);
    ExpectDefaultHeader(script.Header);
  }
}

TEST(ScriptSizeLimit, ReadsExactly256MbAndRefusesOneByteMore) {
  EXPECT_FALSE(IsTooLargeForAScript(kMaxScriptBytes));
  EXPECT_TRUE(IsTooLargeForAScript(kMaxScriptBytes + 1));
}

TEST(ScriptFilePath, JoinsWithOneSeparatorAsTheyStand) {
  using platform::ScriptFileNames;
  EXPECT_EQ(ScriptFilePath("C:\\Programs\\Velloway", "Night.vws", ScriptFileNames::Windows),
            "C:\\Programs\\Velloway\\Night.vws");
  EXPECT_EQ(ScriptFilePath("C:\\", "a.vws", ScriptFileNames::Windows), "C:\\\\a.vws");
  EXPECT_EQ(ScriptFilePath("/opt/velloway", "Night.vws", ScriptFileNames::Posix),
            "/opt/velloway/Night.vws");
  EXPECT_EQ(ScriptFilePath("/", "a.vws", ScriptFileNames::Posix), "//a.vws");
}

}  // namespace
}  // namespace velloway
