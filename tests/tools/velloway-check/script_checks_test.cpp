#include "script_checks.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <string>

#include "base/utf8.h"
#include "script/script_loader.h"
#include "support/temp_dir.h"
#include "timeline.h"

namespace velloway::check {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string kHeader = "HEADER\t20\t2\tMID\t000000\n";

std::vector<std::string> Messages(const std::string& text,
                                  const CheckEnvironment& environment = {}) {
  std::vector<std::string> messages;
  for (const ScriptDiagnostic& d : CheckScript(ParseScript(text), environment)) {
    messages.push_back(std::to_string(d.Line) + ": " + d.Message);
  }
  return messages;
}

TEST(CheckScript, CleanScriptSaysNothing) {
  EXPECT_THAT(Messages(kHeader + "TEXT\tArial\t1\tHello\tFFFFFF\t1.5\nWAIT\t2\nCLEAR\nBGM\toff\n"),
              IsEmpty());
}

TEST(CheckScript, NamesWhatWouldSurpriseTheWriter) {
  const struct {
    std::string line;
    std::string message;
    platform::ScriptFileNames names = platform::ScriptFileNames::Windows;
  } cases[] = {
      {"TEXTT\tArial", "2: unknown command \"TEXTT\": the saver skips it"},
      {"TEXT\tArial\t1\tHi\t#FF8000\t1",
       "2: text colour \"#FF8000\" is not six hexadecimal digits; it reads as 00F800"},
      {"TEXT\tArial\t1\tHi\tFFF\t1",
       "2: text colour \"FFF\" is not six hexadecimal digits; it reads as FF0F00"},
      {"TEXT\tArial\t1\tHi\t\xE3\x81\x82"
       "0FF00\t1",
       "2: text colour \"\xE3\x81\x82"
       "0FF00\" is not six hexadecimal digits; it reads as 00FF00"},
      {"TEXT\tArial\t1\tHi\tFFFFFF\tx", "2: spacing \"x\" is not a number; it reads as 0"},
      {"TEXT\tArial\t1\tHi\tFFFFFF\t", "2: spacing \"\" is not a number; it reads as 0"},
      {"TEXT\tArial\t2px\tHi\tFFFFFF\t1", "2: size step \"2px\" is not a number; it reads as 2"},
      {"TEXT\tArial\t-40\tHi\tFFFFFF\t1", "2: font size -60 points is clamped to 1"},
      {"TEXT\tArial\t900\tHi\tFFFFFF\t1", "2: font size 1820 points is clamped to 1000"},
      {"WAIT\tthree", "2: WAIT seconds \"three\" is not a number; it reads as 0"},
      {"BGM\tPLAY\ta.wav", "2: BGM switch \"PLAY\" is neither ON nor OFF: the record does nothing"},
      {"BGM\tON\t\\\\host\\share\\x:\\y.wav",
       "2: music path \"\\\\host\\share\\x:\\y.wav\" names a network location: it is not played"},
      {"BGM\tON\t//host/share/y:\\z.wav",
       "2: music path \"//host/share/y:\\z.wav\" names a network location: it is not played"},
      // Not joined to the folder on Linux either: as it stands, it names another machine.
      {"BGM\tON\t\\\\host\\share\\x:\\y.wav",
       "2: music path \"\\\\host\\share\\x:\\y.wav\" names a network location: it is not played",
       platform::ScriptFileNames::Posix},
      {"BGM\tON\tx:\\y.wav",
       "2: music file \"x:\\y.wav\" is on a Windows drive: it is not played here",
       platform::ScriptFileNames::Posix},
  };
  for (const auto& c : cases) {
    CheckEnvironment environment;
    environment.FileNames = c.names;
    EXPECT_THAT(Messages(kHeader + c.line, environment), ElementsAre(c.message)) << c.line;
  }
}

TEST(CheckScript, HeaderProblems) {
  const struct {
    std::string text;
    std::vector<std::string> messages;
  } cases[] = {
      {"TEXT\tArial\t1\tHi\tFFFFFF\t1",
       {"1: no header line: speed 0 shows no roll, on a black screen"}},
      {kHeader, {"1: the script has no records: the saver shows its background only"}},
      {"HEADER\t20\t0\tMID\t000000\nCLEAR", {"1: SpeedIndex 0: the roll does not play"}},
      {"HEADER\t20\t2\tCENTRE\t#000\nCLEAR",
       {"1: background colour \"#000\" is not six hexadecimal digits; it reads as 000000",
        "1: AlignMode \"CENTRE\" is none of LEFT, MID, RIGHT: lines keep the place of the line "
        "before"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Messages(c.text), c.messages) << c.text;
}

TEST(CheckScript, AsksTheMachineForFontsAndMusic) {
  CheckEnvironment environment;
  environment.ScriptFolder = "C:\\Velloway";
  environment.FindFont = [](std::string_view face) {
    return FontLookup{face == "Arial", face == "Tahoma" ? "DejaVu Sans" : ""};
  };
  environment.MusicFileKind = [](std::string_view path) {
    if (path == "C:\\Velloway\\theme.wav") return platform::FileKind::Regular;
    if (path == "C:\\Velloway\\zero") return platform::FileKind::DeviceOrPipe;
    return platform::FileKind::Unusable;
  };
  EXPECT_THAT(
      Messages(kHeader + "TEXT\tArial\t1\tHi\tFFFFFF\t1\n"
                         "TEXT\tNo Such Face\t1\tHi\tFFFFFF\t1\n"
                         "TEXT\tTahoma\t1\tHi\tFFFFFF\t1\n"
                         "BGM\tON\ttheme.wav\n"
                         "BGM\ton\tgone.wav\n"
                         "BGM\tON\tD:\\Music\\gone.wav\n"
                         "BGM\tON\tzero\n",
               environment),
      ElementsAre(
          "3: font \"No Such Face\" is not installed: another font stands in",
          "4: font \"Tahoma\" is not installed: this machine shows it in \"DejaVu Sans\"",
          "6: music file \"C:\\Velloway\\gone.wav\" does not exist: the music does not change",
          "7: music file \"D:\\Music\\gone.wav\" does not exist: the music does not change",
          "8: music file \"C:\\Velloway\\zero\" is a device or a pipe: it is not played"));
}

TEST(CheckScript, AsksTheMachineOnceForEachFaceAndMusicFile) {
  std::vector<std::string> asked;
  CheckEnvironment environment;
  environment.ScriptFolder = "C:\\Velloway";
  environment.FindFont = [&asked](std::string_view face) {
    asked.emplace_back(face);
    return FontLookup{face == "Arial", "DejaVu Sans"};
  };
  environment.MusicFileKind = [&asked](std::string_view path) {
    asked.emplace_back(path);
    return platform::FileKind::Unusable;
  };
  std::string text = kHeader;
  for (int i = 0; i < 3; ++i) {
    text += "TEXT\tArial\t1\tHi\tFFFFFF\t1\nTEXT\tTahoma\t1\tHi\tFFFFFF\t1\nBGM\tON\ta.wav\n";
  }
  EXPECT_EQ(Messages(text, environment).size(), 6u);
  EXPECT_THAT(asked, ElementsAre("Arial", "Tahoma", "C:\\Velloway\\a.wav"));
}

TEST(CheckScript, NamesTheCharactersNoInstalledFontShows) {
  // This machine's fonts show printable ASCII and Sinhala's first letters alone.
  int asked = 0;
  CheckEnvironment environment;
  environment.InstalledCharacters = [&asked] {
    ++asked;
    CodePointSet shown;
    shown.Add(0x21, 0x7E);
    shown.Add(0x0D85, 0x0D96);
    return shown;
  };
  const std::string box = ": it shows as a box";
  const std::string boxes = ": they show as boxes";
  const struct {
    std::string text;
    std::string message;  // empty: none
  } cases[] = {
      {"Hello \xE0\xB6\x85", ""},
      {"\xE0\xB6\x9A", "U+0D9A" + box},
      // Each once, in the order they first come.
      {"\xE0\xB6\x9B\xE0\xB6\x9A\xE0\xB6\x9B", "U+0D9B, U+0D9A" + boxes},
      {"a\xF3\xB0\x80\x80z", "U+F0000" + box},
      // Four are named; a fifth, or more, is "…".
      {"\xCE\xB1\xCE\xB2\xCE\xB3\xCE\xB4", "U+03B1, U+03B2, U+03B3, U+03B4" + boxes},
      {"\xCE\xB1\xCE\xB2\xCE\xB3\xCE\xB4\xCE\xB5",
       "U+03B1, U+03B2, U+03B3, U+03B4 \xE2\x80\xA6" + boxes},
      {"\xCE\xB1\xCE\xB2\xCE\xB3\xCE\xB4\xCE\xB5\xCE\xB6",
       "U+03B1, U+03B2, U+03B3, U+03B4 \xE2\x80\xA6" + boxes},
      // What needs no glyph: controls, spaces, joiners, direction marks and overrides, soft
      // hyphens, byte-order marks, variation selectors, tags.
      {"a\x01 b\x7F\xC2\x85\xC2\xA0", ""},
      {"a\xE2\x80\x83\xE2\x80\xAF\xE3\x80\x80\xE2\x80\xA8", ""},
      {"a\xE2\x80\x8D\xE2\x80\x8C\xE2\x80\x8E\xE2\x80\x8F\xE2\x80\xAD\xE2\x81\xA6", ""},
      {"a\xC2\xAD\xEF\xBB\xBF\xD8\x9C", ""},
      {"a\xEF\xB8\x8F\xF3\xA0\x84\x80\xF3\xA0\x81\x81\xF3\xA0\x81\xBF", ""},
      // Their neighbours, and a space that shows, need one.
      {"\xC2\xA1\xE2\x80\x90\xE1\x9A\x80\xEF\xB8\x90", "U+00A1, U+2010, U+1680, U+FE10" + boxes},
  };
  for (const auto& c : cases) {
    const std::vector<std::string> messages =
        Messages(kHeader + "TEXT\tArial\t1\t" + c.text + "\tFFFFFF\t1", environment);
    if (c.message.empty()) {
      EXPECT_THAT(messages, IsEmpty()) << c.text;
    } else {
      EXPECT_THAT(messages, ElementsAre("2: no installed font shows " + c.message)) << c.text;
    }
  }
  // Once a check, however many lines.
  asked = 0;
  EXPECT_THAT(
      Messages(kHeader + "TEXT\tArial\t1\tA\tFFFFFF\t1\nTEXT\tArial\t1\tB\tFFFFFF\t1", environment),
      IsEmpty());
  EXPECT_EQ(asked, 1);
}

TEST(CheckScript, EachRangeOfCharactersThatNeedNoGlyphEndsWhereUnicodeSaysSo) {
  // No installed font shows anything: every character that needs a glyph is named.
  CheckEnvironment environment;
  environment.InstalledCharacters = [] { return CodePointSet(); };
  const auto messages = [&](std::initializer_list<char32_t> characters) {
    std::string text;
    for (const char32_t c : characters) utf8::Append(text, c);
    return Messages(kHeader + "TEXT\tArial\t1\t" + text + "\tFFFFFF\t1", environment);
  };
  const auto name = [](char32_t c) {
    char text[12];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return std::string(text);
  };
  const struct {
    char32_t first;
    char32_t last;
  } ranges[] = {
      {0x0000, 0x0020},    // controls, space
      {0x007F, 0x00A0},    // controls, no-break space
      {0x00AD, 0x00AD},    // soft hyphen
      {0x034F, 0x034F},    // combining grapheme joiner
      {0x061C, 0x061C},    // Arabic letter mark
      {0x115F, 0x1160},    // Hangul fillers
      {0x17B4, 0x17B5},    // Khmer inherent vowels
      {0x180B, 0x180F},    // Mongolian variation selectors and vowel separator
      {0x2000, 0x200F},    // spaces, zero-width space and joiners, direction marks
      {0x2028, 0x202F},    // separators, embeddings and overrides, narrow no-break space
      {0x205F, 0x206F},    // medium space, word joiner, invisible operators, isolates
      {0x3000, 0x3000},    // ideographic space
      {0x3164, 0x3164},    // Hangul filler
      {0xFE00, 0xFE0F},    // variation selectors
      {0xFEFF, 0xFEFF},    // byte-order mark
      {0xFFA0, 0xFFA0},    // halfwidth Hangul filler
      {0xFFF0, 0xFFF8},    // ignorable by default
      {0x1BCA0, 0x1BCA3},  // shorthand format controls
      {0x1D173, 0x1D17A},  // musical symbol format controls
      {0xE0000, 0xE0FFF},  // tags, variation selectors supplement
  };
  for (const auto& r : ranges) {
    SCOPED_TRACE(name(r.first) + ".." + name(r.last));
    EXPECT_THAT(messages({r.first, r.last}), IsEmpty());
    // Each range's neighbours need one; U+0000 has none below it.
    if (r.first == 0) {
      EXPECT_THAT(messages({r.last + 1}), ElementsAre("2: no installed font shows " +
                                                      name(r.last + 1) + ": it shows as a box"));
    } else {
      EXPECT_THAT(messages({r.first - 1, r.last + 1}),
                  ElementsAre("2: no installed font shows " + name(r.first - 1) + ", " +
                              name(r.last + 1) + ": they show as boxes"));
    }
  }
}

TEST(Timeline, PlaysOneLoopThroughTheRollEngine) {
  testing::TempDir dir;
  dir.Write("Roll.vws",
            "HEADER\t20\t2\tMID\t000000\r\n"
            "TEXT\tArial\t0\tA\tFFFFFF\t1\r\n"  // 20 px, spacing 1: 5 moving ticks
            "WAIT\t3\r\n"                       // 15 still ticks at 200 ms
            "BGM\tON\tx.wav\r\n"                // dispatched and left in one tick
            "CLEAR\r\n"
            "BOGUS\r\n");  // skipped
  TimelineOptions options;
  options.LineHeight = 20;
  const Timeline timeline = PlayTimeline(dir.Utf8() + "/Roll.vws", options);
  EXPECT_EQ(timeline.IntervalMs, 200);
  std::vector<std::string> rows;
  for (const TimelineEntry& e : timeline.Entries) {
    rows.push_back(std::to_string(e.Tick) + " " + std::to_string(e.Record) + " " + e.Command);
  }
  EXPECT_THAT(rows, ElementsAre("1 1 TEXT", "7 2 WAIT", "23 3 BGM", "24 4 CLEAR", "25 5 BOGUS"));
  EXPECT_DOUBLE_EQ(timeline.Entries[1].Seconds, 1.4);
  EXPECT_EQ(timeline.LoopTicks, 25);  // record 1 again on tick 26
  EXPECT_DOUBLE_EQ(timeline.LoopSeconds, 5.0);
}

TEST(Timeline, SpeedZeroAndEmptyScriptsDoNotPlay) {
  testing::TempDir dir;
  dir.Write("Still.vws", "HEADER\t20\t0\tMID\t000000\r\nTEXT\tArial\t0\tA\tFFFFFF\t1\r\n");
  dir.Write("Empty.vws", "HEADER\t20\t2\tMID\t000000\r\n");
  const Timeline still = PlayTimeline(dir.Utf8() + "/Still.vws", {});
  EXPECT_EQ(still.IntervalMs, 0);
  EXPECT_THAT(still.Entries, IsEmpty());
  const Timeline empty = PlayTimeline(dir.Utf8() + "/Empty.vws", {});
  EXPECT_THAT(empty.Entries, IsEmpty());
  EXPECT_EQ(empty.LoopTicks, 0);
}

}  // namespace
}  // namespace velloway::check
