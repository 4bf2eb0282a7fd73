#include "roll/saver_window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/program_identity.h"
#include "roll/saver_fixture.h"
#include "script/script_loader.h"

namespace velloway {
namespace {

using namespace identity;

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using SaverSetUp = testing::SaverTest;

TEST_F(SaverSetUp, WindowIsDesignedBorderlessWithoutTaskbarButtonAndPointer) {
  const SaverWindow& saver = StartSaver();
  EXPECT_EQ(saver.Caption(), kSaverCaption);
  const auto& window = ShownWindow();
  EXPECT_EQ(window.Style.Border, platform::BorderStyle::None);
  EXPECT_FALSE(window.Style.ShowInTaskbar);
  EXPECT_TRUE(window.Style.InvisiblePointer);
  EXPECT_TRUE(window.Visible);
  for (int slot = 1; slot <= RollEngine::kLineSlots; ++slot) {
    const forms::Label& label = saver.LineLabel(slot);
    EXPECT_FALSE(label.Visible()) << slot;
    EXPECT_TRUE(label.AutoSize()) << slot;
    EXPECT_EQ(label.TextAlignment(), forms::Alignment::Center) << slot;
    EXPECT_EQ(label.Caption(), "") << slot;
  }
}

TEST_F(SaverSetUp, WindowCoversTheScreenAtEveryDpi) {
  WriteScript("HEADER\t12\t2\tMID\t000000\r\n");
  for (const int dpi : {96, 120, 144, 192}) {
    backend().SetScreen({3840, 2160, dpi, dpi, {}});
    const SaverWindow& saver = StartSaver();
    EXPECT_EQ(ShownWindow().Bounds, (platform::PixelRect{0, 0, 3840, 2160})) << dpi;
    EXPECT_FLOAT_EQ(saver.Width(), 3840.0f * 1440.0f / static_cast<float>(dpi)) << dpi;
  }
}

TEST_F(SaverSetUp, BackgroundTakesTheHeaderColour) {
  const struct {
    const char* script;
    Color color;
  } cases[] = {
      {"HEADER\t12\t2\tMID\tFFFFFF\r\n", 16777215},
      {"HEADER\t12\t2\tMID\tff8000\r\n", 33023},
      {"TEXT\tArial\t1\tNo header\tFFFFFF\t1\r\n", 0},
  };
  for (const auto& c : cases) {
    WriteScript(c.script);
    EXPECT_EQ(StartSaver().BackColor(), c.color) << c.script;
  }
}

TEST_F(SaverSetUp, TimerTicksAtTheScriptsSpeed) {
  const struct {
    const char* speed;
    std::int32_t interval;
  } cases[] = {{"0", 0}, {"1", 500}, {"2", 200}, {"3", 100}, {"7", 100}, {"-4", 0}};
  for (const auto& c : cases) {
    WriteScript(std::string("HEADER\t12\t") + c.speed + "\tMID\t000000\r\n");
    const SaverWindow& saver = StartSaver();
    EXPECT_EQ(saver.TickTimer().Interval(), c.interval) << c.speed;
    EXPECT_TRUE(saver.TickTimer().Enabled()) << c.speed;
  }
}

TEST_F(SaverSetUp, StaysOnTopAndReadsThePointerAtTheStart) {
  WriteScript("HEADER\t12\t2\tMID\t000000\r\n");
  backend().SetPointer({640, 480});
  StartSaver();
  EXPECT_TRUE(ShownWindow().AboveOthers);
  // The pointer where it was at the start is no move; counted from the origin it would be.
  backend().AdvanceTime(200);
  EXPECT_FALSE(backend().Ended());
}

TEST_F(SaverSetUp, ReadsTheStoredChoiceOrDefaultVws) {
  dir_.Write("Default.vws", "HEADER\t12\t2\tMID\t0000FF\r\n");
  dir_.Write("Night.vws", "HEADER\t12\t2\tMID\t000080\r\n");
  EXPECT_EQ(StartSaver().BackColor(), 0xFF0000);  // no stored choice: Default.vws
  Choose("Night.vws");
  EXPECT_EQ(StartSaver().BackColor(), 0x800000);
  Choose(std::string(100'000, 'x'));  // longer than any path: not a usable choice
  EXPECT_EQ(StartSaver().BackColor(), 0xFF0000);
}

TEST_F(SaverSetUp, MissingScriptShowsOneCentredWhiteLine) {
  const struct {
    const char* choice;
    std::string message;
  } cases[] = {
      {"Night.vws", "Script not found: " +
                        ScriptFilePath(dir_.Utf8(), "Night.vws", testing::MachineFileNames())},
      {"", "No script chosen: " + ScriptFilePath(dir_.Utf8(), "", testing::MachineFileNames())},
  };
  backend().SetScreen({1920, 1080, 96, 96, {}});
  for (const auto& c : cases) {
    Choose(c.choice);
    const SaverWindow& saver = StartSaver();
    const forms::Label& message = saver.MessageLabel();
    EXPECT_TRUE(message.Visible());
    EXPECT_EQ(message.Caption(), c.message);
    EXPECT_EQ(message.ForeColor(), 0xFFFFFF);
    const platform::PixelRect bounds = message.PixelBounds();
    EXPECT_NEAR(bounds.Left + bounds.Width() / 2, 960, 1);
    EXPECT_NEAR(bounds.Top + bounds.Height() / 2, 540, 1);
    EXPECT_EQ(saver.BackColor(), 0);
  }
}

TEST_F(SaverSetUp, PathTooLongForTheScreenIsShortenedInItsMiddle) {
  backend().SetScreen({1920, 1080, 96, 96, {}});
  Choose(std::string(1'000, 'N') + ".vws");
  const forms::Label& message = StartSaver().MessageLabel();
  const std::string& line = message.Caption();
  EXPECT_EQ(line.rfind("Script not found: " + dir_.Utf8(), 0), 0u) << line;
  EXPECT_NE(line.find("N...N"), std::string::npos) << line;
  EXPECT_EQ(line.substr(line.size() - 8), "NNNN.vws");
  // As wide as fits: one more character of the path would not.
  EXPECT_LE(message.PixelBounds().Width(), 1920);
  EXPECT_GT(message.PixelBounds().Width(), 1900);
  EXPECT_GE(message.PixelBounds().Left, 0);
}

TEST_F(SaverSetUp, EveryOtherMonitorGetsACoverThatEndsTheSaver) {
  WriteScript("HEADER\t12\t2\tMID\t336699\r\n");
  backend().SetScreen({1920, 1080, 96, 96, {{{1920, 0, 3200, 1024}}, {{-1280, 56, 0, 1080}}}});
  const SaverWindow& saver = StartSaver();
  std::vector<platform::PixelRect> covers;
  for (const headless::HeadlessWindow* window : backend().Windows()) {
    if (window->Id == saver.Id()) continue;
    EXPECT_TRUE(window->Visible);
    EXPECT_TRUE(window->Style.InvisiblePointer);
    EXPECT_EQ(window->Style.Border, platform::BorderStyle::None);
    covers.push_back(window->Bounds);
  }
  EXPECT_THAT(covers, ElementsAre(platform::PixelRect{1920, 0, 3200, 1024},
                                  platform::PixelRect{-1280, 56, 0, 1080}));
  const platform::WindowId cover = backend().Windows()[1]->Id;
  EXPECT_TRUE(backend().Window(cover)->AboveOthers);
  backend().KeyDown(cover);
  EXPECT_TRUE(backend().Ended());
}

TEST_F(SaverSetUp, WindowAndCoversFitNewScreensWhileLinesOnScreenKeepTheirPlace) {
  WriteScript(
      "HEADER\t12\t2\tMID\t336699\r\n"
      "TEXT\tArial\t0\tfirst line\tFFFFFF\t1\r\n"
      "TEXT\tArial\t0\tsecond\tFFFFFF\t1\r\n"
      "WAIT\t30\r\n");
  backend().SetScreen({1920, 1080, 96, 96, {{{1920, 0, 3200, 1024}}}});
  const SaverWindow& saver = StartSaver();
  backend().AdvanceTime(3 * 200);  // the first line has entered and risen
  const platform::PixelRect first = saver.LineLabel(1).PixelBounds();
  ASSERT_TRUE(saver.LineLabel(1).Visible());

  backend().SetScreen({1280, 720, 96, 96, {{{1280, 0, 2304, 768}}, {{-1024, 0, 0, 768}}}});
  EXPECT_EQ(ShownWindow().Bounds, (platform::PixelRect{0, 0, 1280, 720}));
  std::vector<platform::PixelRect> covers;
  for (const headless::HeadlessWindow* window : backend().Windows()) {
    if (window->Id != saver.Id()) covers.push_back(window->Bounds);
  }
  EXPECT_THAT(covers, ElementsAre(platform::PixelRect{1280, 0, 2304, 768},
                                  platform::PixelRect{-1024, 0, 0, 768}));
  EXPECT_EQ(saver.LineLabel(1).PixelBounds(), first);

  for (int tick = 0; tick < 10 && !saver.LineLabel(2).Visible(); ++tick) {
    backend().AdvanceTime(200);
  }
  const platform::PixelRect second = saver.LineLabel(2).PixelBounds();
  EXPECT_EQ(second.Top, 720);  // just below the new bottom edge, centred on the new width
  EXPECT_NEAR(second.Left + second.Width() / 2.0, 640.0, 1.0);
}

// --- the roll, as the window plays and shows it ---

class SaverRoll : public testing::SaverTest {
 protected:
  SaverRoll() {
    backend().SetScreen({1920, 1080, 96, 96, {}});
    // A line is as many pixels high as its font has points, and 10 pixels wide per character.
    backend().SetTextMetrics([](const platform::FontSpec& font, std::string_view text) {
      return platform::TextExtent{static_cast<int>(text.size()) * 10,
                                  static_cast<int>(std::lround(font.Size))};
    });
  }

  // Starts a script of the given lines, each ending in CR LF, at speed 2 (200 ms) by default.
  SaverWindow& Play(const std::vector<std::string>& lines,
                    const std::string& header = "HEADER\t20\t2\tMID\t000000") {
    std::string text = header + "\r\n";
    for (const std::string& line : lines) text += line + "\r\n";
    WriteScript(text);
    return StartSaver();
  }
  void Ticks(int n) {
    backend().AdvanceTime(static_cast<std::int64_t>(n) * saver_->TickTimer().Interval());
  }
  const forms::Label& Line(int slot) const { return std::as_const(*saver_).LineLabel(slot); }
};

std::string Text(const std::string& caption, const std::string& spacing = "1",
                 const std::string& step = "0") {
  return "TEXT\tArial\t" + step + "\t" + caption + "\tFFFFFF\t" + spacing;
}

// What the line labels show: each visible one's slot, text, font, colour and place in twips.
std::string ShownLines(const SaverWindow& saver) {
  std::string shown;
  for (int slot = 1; slot <= RollEngine::kLineSlots; ++slot) {
    const forms::Label& label = saver.LineLabel(slot);
    if (!label.Visible()) continue;
    shown += std::to_string(slot) + " " + label.Caption() + " " + label.FontName() + " " +
             std::to_string(label.FontSize()) + " " + std::to_string(label.ForeColor()) + " " +
             std::to_string(label.Left()) + "," + std::to_string(label.Top()) + " " +
             std::to_string(label.Height()) + "; ";
  }
  return shown;
}

// The same of the lines the roll lists, as it placed them and keeps them.
class ListedLines : public RollListener {
 public:
  std::string Of(const RollEngine& roll) const {
    std::vector<RollEngine::ListedLine> lines(roll.Lines().begin(), roll.Lines().end());
    std::ranges::sort(lines, {}, &RollEngine::ListedLine::Slot);
    std::string listed;
    for (const RollEngine::ListedLine& line : lines) {
      const PlacedLine& placed = placed_.at(line.Slot);
      listed += std::to_string(line.Slot) + " " + std::string(placed.Text) + " " +
                placed.Font.Name + " " + std::to_string(placed.Font.Size) + " " +
                std::to_string(placed.ForeColor) + " " + std::to_string(placed.Left) + "," +
                std::to_string(line.Top) + " " + std::to_string(line.Height) + "; ";
    }
    return listed;
  }

 private:
  void OnLinePlaced(const PlacedLine& line) override { placed_.insert_or_assign(line.Slot, line); }

  std::map<int, PlacedLine> placed_;
};

TEST_F(SaverRoll, ShowsEachLineItsRollListsOnItsSlotsLabelAndNoOther) {
  std::vector<std::string> manyLines;
  for (int i = 1; i <= 22; ++i) manyLines.push_back(Text("line " + std::to_string(i), "0"));
  const struct {
    const char* what;
    std::vector<std::string> records;
  } rolls[] = {
      {"slots taken over", manyLines},
      {"lines leaving the top edge", {Text("tall", "20", "10"), Text("short", "30")}},
      {"clearings", {Text("a", "2", "3"), Text("b", "0"), "CLEAR", Text("c", "1", "-2")}},
  };
  for (const auto& roll : rolls) {
    SaverWindow& saver = Play(roll.records, "HEADER\t20\t3\tRIGHT\t000000");
    ListedLines listed;
    const RollEngine::Listening listening(saver.Roll(), listed);
    for (int tick = 1; tick <= 400; ++tick) {
      Ticks(1);
      ASSERT_EQ(ShownLines(saver), listed.Of(saver.Roll())) << roll.what << ", tick " << tick;
    }
  }
}

TEST_F(SaverRoll, ScriptWithoutRecordsOnlyWatchesThePointer) {
  Play({});
  Ticks(10);
  EXPECT_FALSE(backend().Ended());
  backend().SetPointer({100, 100});
  Ticks(1);
  EXPECT_TRUE(backend().Ended());
}

TEST_F(SaverRoll, BgmRecordsSwitchTheMusicAndTheRollGoesOn) {
  Play({"BGM\ton\ttheme.wav", Text("after")});
  Ticks(1);
  EXPECT_EQ(backend().Music().Now(), headless::HeadlessMusic::State::Playing);
  EXPECT_FALSE(Line(1).Visible());
  Ticks(1);
  EXPECT_TRUE(Line(1).Visible());
}

TEST_F(SaverRoll, TickArrivingWhileMusicStartsIsSkipped) {
  // A tick falls due while the record processes pending events.
  backend().QueueEvent([this] { Ticks(1); });
  Play({"BGM\tON\ttheme.wav", Text("after", "100")});
  Ticks(1);
  EXPECT_EQ(backend().Music().Now(), headless::HeadlessMusic::State::Playing);
  EXPECT_FALSE(Line(1).Visible());
  Ticks(1);
  EXPECT_TRUE(Line(1).Visible());
}

// --- dismissal ---

TEST_F(SaverRoll, PointerMovingMoreThanTwentyPixelsBetweenTicksEnds) {
  const struct {
    int dx, dy;
    bool ends;
  } cases[] = {{12, 16, false}, {20, 0, false}, {0, -20, false},
               {21, 0, true},   {0, 21, true},  {15, 15, true}};
  for (const auto& c : cases) {
    Restart();
    backend().SetPointer({500, 500});
    Play({Text("a")});
    Ticks(3);
    backend().SetPointer({500 + c.dx, 500 + c.dy});
    Ticks(1);
    EXPECT_EQ(backend().Ended(), c.ends) << c.dx << "," << c.dy;
  }
}

TEST_F(SaverRoll, FailedPointerReadCountsAsTheOrigin) {
  const struct {
    platform::PixelPoint last;
    bool ends;
  } cases[] = {{{500, 500}, true}, {{12, 16}, false}, {{0, 20}, false}, {{21, 0}, true}};
  for (const auto& c : cases) {
    Restart();
    backend().SetPointer(c.last);
    Play({Text("a")});
    Ticks(1);
    backend().SetPointerUnreadable();
    Ticks(1);
    EXPECT_EQ(backend().Ended(), c.ends) << c.last.X << "," << c.last.Y;
  }
}

TEST_F(SaverRoll, SlowDriftNeverEnds) {
  Play({Text("a", "1"), "WAIT\t1"});
  for (int i = 0; i < 300; ++i) {
    backend().SetPointer({5 * i, 3 * i});
    Ticks(1);
  }
  EXPECT_FALSE(backend().Ended());
}

TEST_F(SaverRoll, EveryDismissalEndsAfterStoppingTheMusic) {
  using Backend = headless::HeadlessBackend;
  const struct {
    const char* what;
    std::function<void(Backend&, platform::WindowId)> act;
    bool ends;
  } cases[] = {
      {"click beside the line", [](Backend& b, platform::WindowId w) { b.Click(w, 100, 1070); },
       true},
      {"right click beside the line",
       [](Backend& b, platform::WindowId w) {
         b.Click(w, 100, 1070, platform::MouseButton::Right);
       },
       true},
      {"click on the line", [](Backend& b, platform::WindowId w) { b.Click(w, 960, 1070); }, false},
      {"key", [](Backend& b, platform::WindowId w) { b.KeyDown(w); }, true},
      {"another program activated",
       [](Backend& b, platform::WindowId) { b.ActivateOtherProgram(); }, true},
      {"minimised", [](Backend& b, platform::WindowId w) { b.Minimize(w); }, true},
      {"asked to minimise", [](Backend& b, platform::WindowId w) { b.RequestMinimize(w); }, false},
  };
  for (const auto& c : cases) {
    Restart();
    backend().Music().Open("C:\\Velloway\\theme.wav");
    backend().Music().Play();
    Play({Text("line", "100")});
    Ticks(3);  // the line is 10 pixels above the bottom edge, centred
    c.act(backend(), saver_->Id());
    EXPECT_EQ(backend().Ended(), c.ends) << c.what;
    EXPECT_EQ(backend().Music().Now() == headless::HeadlessMusic::State::Closed, c.ends) << c.what;
  }
}

TEST_F(SaverRoll, ARollThatDoesNotTickStandsStillYetAPointerMoveOrAKeyEndsIt) {
  const struct {
    const char* what;
    std::string script;  // empty: the chosen script does not exist
  } rolls[] = {
      {"speed 0", "HEADER\t20\t0\tMID\t000000\r\n" + Text("a") + "\r\n"},
      {"no header", Text("a") + "\r\n"},
      {"no script", ""},
  };
  const struct {
    platform::PixelPoint to;  // from (900, 900)
    bool ends;
  } moves[] = {{{920, 900}, false}, {{921, 900}, true}, {{915, 915}, true}};
  for (const auto& roll : rolls) {
    for (const auto& move : moves) {
      Restart();
      backend().SetPointer({900, 900});
      if (roll.script.empty()) {
        Choose("Missing.vws");
      } else {
        WriteScript(roll.script);
      }
      StartSaver();
      backend().AdvanceTime(60'000);
      EXPECT_FALSE(Line(1).Visible()) << roll.what;
      EXPECT_FALSE(backend().Ended()) << roll.what;
      backend().SetPointer(move.to);
      backend().AdvanceTime(200);
      EXPECT_EQ(backend().Ended(), move.ends)
          << roll.what << ", to " << move.to.X << "," << move.to.Y;
      backend().KeyDown(saver_->Id());
      EXPECT_TRUE(backend().Ended()) << roll.what;
    }
  }
}

}  // namespace
}  // namespace velloway
