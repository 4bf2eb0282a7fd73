// Scripts written by hand, or not scripts at all, played from the file through the loader and the
// roll: whatever bytes they hold, the saver keeps rolling, keeps its lines in their slots and on
// the screen, and still ends on a key.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>

#include "roll/saver_fixture.h"
#include "roll/saver_window.h"
#include "script/script_loader.h"

namespace velloway {
namespace {

constexpr int kScreenH = 1080;
const std::string kHeader = "HEADER\t20\t3\tMID\t000000\r\n";

std::string Lines(const std::string& line, int count) {
  std::string text;
  text.reserve(line.size() * static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) text += line;
  return text;
}

// A literal with the NUL bytes inside it.
template <std::size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

std::string Utf16LeWithoutMark(const std::string& ascii) {
  std::string bytes;
  for (char c : ascii) bytes += {c, '\0'};
  return bytes;
}

struct HostileCase {
  const char* name;
  std::function<std::string()> bytes;
  int ticks;
  // The fewest records the roll must have dispatched in that time: it has not frozen.
  int minDispatched;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const HostileCase& hostile, std::ostream* out) {
  *out << hostile.name;
}

const std::string kText = "TEXT\tDejaVu Sans\t0\tline\tFFFFFF\t1\r\n";

const HostileCase kCases[] = {
    {"TenMegabyteSingleLine",
     [] { return kHeader + ("TEXT\tArial\t0\t" + std::string(10'000'000, 'x')); }, 100, 1},
    {"TenMegabyteSingleLineWithoutFields", [] { return std::string(10'000'000, 'y'); }, 100, 0},
    {"NulBytes",
     [] {
       return kHeader + Bytes("TEXT\tAr\0ial\t0\tna\0me\tFF\0FFF\t1\r\n") +
              Bytes("\0\0\0\r\nWAIT\t\0001\r\n\0CLEAR\r\n") + kText;
     },
     200, 4},
    {"InvalidUtf8",
     [] {
       // A lone continuation byte, an overlong slash, a surrogate, a cut-off sequence at the end.
       return kHeader + "TEXT\tArial\t0\t\x80\xC0\xAF\xED\xA0\x80\t\xFF\xFE\t1\r\n" +
              "T\xC3\x28XT\tArial\r\n" + kText + "TEXT\tArial\t0\t\xE2\x82";
     },
     200, 3},
    {"Utf16WithoutByteOrderMark",
     [] { return Utf16LeWithoutMark(kHeader + kText + "WAIT\t1\r\n" + kText); }, 200, 3},
    {"HundredThousandTabsOnOneLine",
     [] {
       // The later header is the one in force.
       return ("HEADER" + std::string(100'000, '\t') + "\r\n") + kHeader +
              ("TEXT" + std::string(100'000, '\t') + "x\r\n") + kText;
     },
     200, 2},
    {"NumbersOutOfEveryRange",
     [] {
       // The header in force is the last; the first one's speed would stop the roll.
       return std::string("HEADER\t99999999999\t-0\tMID\t000000\r\n") +
              "TEXT\tArial\t-0\tzero\tFFFFFF\t-0\r\n" +
              "TEXT\tArial\t-1e309\tnan\tFFFFFF\t-99999999999\r\n" +
              "WAIT\t-0\r\nWAIT\t-99999999999\r\nWAIT\tnan\r\n" +
              "TEXT\tArial\t99999999999\tbig\tFFFFFF\t99999999999\r\n" +
              "TEXT\tArial\t1e309\tinf\tFFFFFF\t1e309\r\nWAIT\t1e309\r\n" +
              "HEADER\t1e309\t3\tLEFT\t-0\r\n";
     },
     400, 6},
    {"HugeAndNegativeSizes",
     [] {
       return std::string("HEADER\t-32768\t3\tRIGHT\tFFFFFF\r\n") +
              "TEXT\tArial\t99999\thuge\t000000\t1\r\n" +
              "TEXT\tArial\t-40\tnegative\t000000\t1\r\n" +
              "TEXT\tArial\t2147483648\tpast 32 bits\t000000\t1\r\n" +
              "HEADER\t32767\t3\tLEFT\tFFFFFF\r\nTEXT\tArial\t32767\tlargest\t000000\t1\r\n";
     },
     2'000, 4},
    {"FontsThatDoNotExist",
     [] {
       return kHeader + std::string("TEXT\tNo Such Font At All\t0\tx\tFFFFFF\t1\r\n") + "TEXT\t" +
              std::string(5'000, 'F') + "\t0\ty\tFFFFFF\t1\r\nTEXT\t\t0\tz\tFFFFFF\t1\r\n";
     },
     200, 3},
    {"TenThousandLinesWithoutSpacing",
     [] { return kHeader + Lines("TEXT\tArial\t0\tline\tFFFFFF\t0\r\n", 10'000); }, 25'000, 10'000},
    {"WaitOfTheLargestNumber", [] { return kHeader + kText + "WAIT\t32767\r\n" + kText; }, 3'000,
     2},
    {"MusicPathOfFiveThousandCharacters",
     [] { return kHeader + ("BGM\tON\tC:\\" + std::string(5'000, 'm') + ".wav\r\n") + kText; }, 100,
     2},
};

class HostileScript : public testing::SaverTest, public ::testing::WithParamInterface<HostileCase> {
 protected:
  HostileScript() { backend().SetScreen({1920, kScreenH, 96, 96, {}}); }

  // Every listed line is where the roll keeps lines: visible lines have not yet risen past the
  // top edge and never start below the bottom one.
  void ExpectLinesOnScreen() const {
    for (int slot = 1; slot <= RollEngine::kLineSlots; ++slot) {
      const forms::Label& line = std::as_const(*saver_).LineLabel(slot);
      if (!line.Visible()) continue;
      EXPECT_GT(line.Top(), -line.Height()) << "slot " << slot;
      EXPECT_LE(line.PixelBounds().Top, kScreenH) << "slot " << slot;
    }
  }
};

TEST_P(HostileScript, RollsOnAndEndsOnAKey) {
  const HostileCase& hostile = GetParam();
  WriteScript(hostile.bytes(), "Hostile.vws");
  SaverWindow& saver = StartSaver();
  struct : RollListener {
    int dispatched = 0;
    void OnRecordDispatched(std::int32_t, const RollRecord&) override { ++dispatched; }
  } counter;
  const RollEngine::Listening listening(saver.Roll(), counter);
  ASSERT_TRUE(saver.TickTimer().Enabled());
  for (int tick = 0; tick < hostile.ticks; ++tick) {
    backend().AdvanceTime(saver.TickTimer().Interval());
    if (tick % 100 == 0) ExpectLinesOnScreen();
  }
  EXPECT_GE(counter.dispatched, hostile.minDispatched);
  EXPECT_FALSE(backend().Ended());
  backend().KeyDown(saver.Id());
  EXPECT_TRUE(backend().Ended());
}

INSTANTIATE_TEST_SUITE_P(Scripts, HostileScript, ::testing::ValuesIn(kCases),
                         [](const auto& test) { return std::string(test.param.name); });

TEST_F(HostileScript, WaitOfTheLargestNumberHoldsTheRollForItsTicks) {
  WriteScript(kHeader + kText + "WAIT\t32767\r\n" + kText, "Hostile.vws");
  const SaverWindow& saver = StartSaver();
  // Speed 3 counts ten ticks a second: 327,670 ticks, past any 16-bit counter.
  backend().AdvanceTime(std::int64_t{32767} * 1000 - 1000);
  EXPECT_FALSE(saver.LineLabel(2).Visible());
  backend().AdvanceTime(60'000);
  EXPECT_TRUE(saver.LineLabel(2).Visible());
}

TEST_F(HostileScript, LongMusicPathReachesTheMusicDeviceWhole) {
  const std::string name = std::string(5'000, 'm') + ".wav";
  WriteScript(kHeader + "BGM\tON\t" + name + "\r\n", "Hostile.vws");
  StartSaver();
  backend().AdvanceTime(100);
  EXPECT_EQ(backend().Music().OpenedPath(),
            ScriptFilePath(dir_.Utf8(), name, testing::MachineFileNames()));
}

TEST_F(HostileScript, ScriptThatIsAFolderShowsWhyAndEndsOnAKey) {
  std::filesystem::create_directory(dir_.Path() / "Folder.vws");
  Choose("Folder.vws");
  const SaverWindow& saver = StartSaver();
  EXPECT_TRUE(saver.MessageLabel().Visible());
  EXPECT_NE(saver.MessageLabel().Caption().find("Script is a folder"), std::string::npos);
  backend().AdvanceTime(10'000);
  backend().KeyDown(saver.Id());
  EXPECT_TRUE(backend().Ended());
}

}  // namespace
}  // namespace velloway
