// The roll as the saver window plays it, tick by tick, on the headless backend.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <set>
#include <utility>

#include "roll/saver_fixture.h"
#include "roll/saver_window.h"

namespace velloway {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

constexpr int kScreenW = 1920;
constexpr int kScreenH = 1080;
constexpr float kTpp = 15.0f;  // twips per pixel at 96 DPI

class Roll : public testing::SaverTest {
 protected:
  Roll() {
    backend().SetScreen({kScreenW, kScreenH, 96, 96, {}});
    // A line is as many pixels high as its font has points, and 10 pixels wide per character.
    backend().SetTextMetrics([](const forms::FontSpec& font, std::string_view text) {
      return forms::TextExtent{static_cast<int>(text.size()) * 10,
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
  float TopPx(int slot) const { return Line(slot).Top() / kTpp; }
  // Ticks until the label of slot becomes visible; -1 when it does not within limit ticks.
  int TicksUntilVisible(int slot, int limit = 100000) {
    for (int tick = 1; tick <= limit; ++tick) {
      Ticks(1);
      if (Line(slot).Visible()) return tick;
    }
    return -1;
  }
};

std::string Text(const std::string& caption, const std::string& spacing = "1",
                 const std::string& step = "0", const std::string& colour = "FFFFFF") {
  return "TEXT\tArial\t" + step + "\t" + caption + "\t" + colour + "\t" + spacing;
}

TEST_F(Roll, LinePlacedAtTheBottomRisesFivePixelsPerSpacingTick) {
  Play({Text("first"), Text("second")});
  Ticks(1);  // dispatch: the line is placed, nothing moves
  EXPECT_TRUE(Line(1).Visible());
  EXPECT_EQ(TopPx(1), kScreenH);
  EXPECT_EQ(Line(1).Caption(), "first");
  EXPECT_EQ(Line(1).FontName(), "Arial");
  EXPECT_EQ(Line(1).ForeColor(), 0xFFFFFF);
  for (int tick = 2; tick <= 5; ++tick) {
    Ticks(1);
    EXPECT_EQ(TopPx(1), kScreenH - 5 * (tick - 1)) << tick;
    EXPECT_FALSE(Line(2).Visible()) << tick;
  }
  // A 20-pixel line with spacing 1: limit 4, so it moves on ticks 2 to 6 and the next line
  // comes on tick 7, 25 pixels below it.
  EXPECT_EQ(TicksUntilVisible(2), 2);
  EXPECT_EQ(TopPx(1), kScreenH - 25);
  EXPECT_EQ(TopPx(2), kScreenH);
}

TEST_F(Roll, SpacingCountsInLineHeightsRoundedHalfToEven) {
  const struct {
    const char* spacing;
    int ticks;  // from the line's dispatch to the next line's
  } cases[] = {{"1", 6}, {"2.5", 10}, {"3.5", 18}, {"1.4", 6}, {"", 2},
               {"0", 2}, {"-3", 2},   {"x", 2},    {"2", 10},  {" 1 0", 42}};
  for (const auto& c : cases) {
    Play({Text("a", c.spacing), Text("b")});
    Ticks(1);
    EXPECT_EQ(TicksUntilVisible(2), c.ticks) << '"' << c.spacing << '"';
  }
}

TEST_F(Roll, WaitFreezesTheRollForWholeSeconds) {
  const struct {
    const char* header;
    const char* seconds;
    int nextOnTick;
  } cases[] = {
      {"HEADER\t20\t2\tMID\t000000", "3", 17},   {"HEADER\t20\t1\tMID\t000000", "3", 8},
      {"HEADER\t20\t3\tMID\t000000", "3", 32},   {"HEADER\t20\t2\tMID\t000000", "0", 3},
      {"HEADER\t20\t2\tMID\t000000", "-2", 3},   {"HEADER\t20\t2\tMID\t000000", "", 3},
      {"HEADER\t20\t2\tMID\t000000", "2.5", 12},
  };
  for (const auto& c : cases) {
    Play({Text("before", "0"), std::string("WAIT\t") + c.seconds, Text("after")}, c.header);
    Ticks(3);  // the first line: dispatch and one spacing tick, then the WAIT's dispatch
    const float frozenAt = TopPx(1);
    EXPECT_EQ(TicksUntilVisible(2), c.nextOnTick - 1) << c.header << " WAIT " << c.seconds;
    EXPECT_EQ(TopPx(1), frozenAt) << "nothing moves during a wait";
  }
}

TEST_F(Roll, LongWaitsCountPastSixteenBits) {
  Play({"WAIT\t3600", Text("after")}, "HEADER\t20\t3\tMID\t000000");
  EXPECT_EQ(TicksUntilVisible(1, 40000), 36002);
}

TEST_F(Roll, ScriptLoopsBackToTheFirstRecordInTheSameTick) {
  Play({Text("one", "0"), "CLEAR"});
  Ticks(2);  // placed, moved
  EXPECT_TRUE(Line(1).Visible());
  Ticks(1);  // CLEAR
  EXPECT_FALSE(Line(1).Visible());
  Ticks(1);  // past the last record: record 1 again, dispatched at once
  EXPECT_TRUE(Line(2).Visible());
  EXPECT_EQ(Line(2).Caption(), "one");
}

TEST_F(Roll, ClearHidesEveryLineAndKeepsTheNextSlot) {
  Play({Text("a", "0"), Text("b", "0"), Text("c", "0"), "CLEAR", Text("d", "0")});
  Ticks(6);
  EXPECT_TRUE(Line(1).Visible() && Line(2).Visible() && Line(3).Visible());
  Ticks(1);
  for (int slot = 1; slot <= SaverWindow::kLineSlots; ++slot) {
    EXPECT_FALSE(Line(slot).Visible()) << slot;
  }
  EXPECT_FALSE(saver_->TemplateLabel().Visible());
  Ticks(1);
  EXPECT_TRUE(Line(4).Visible());
  EXPECT_EQ(Line(4).Caption(), "d");
}

TEST_F(Roll, TwentyFirstLineTakesSlotOneAgain) {
  std::vector<std::string> lines;
  for (int i = 1; i <= 21; ++i) lines.push_back(Text("line " + std::to_string(i), "0"));
  lines.push_back("WAIT\t100");
  Play(lines);
  Ticks(2 * 20 + 1);
  EXPECT_EQ(Line(1).Caption(), "line 21");
  EXPECT_EQ(TopPx(1), kScreenH);
  // The taken-over line is listed once: it rises 5 pixels per tick, not 10.
  Ticks(1);
  EXPECT_EQ(TopPx(1), kScreenH - 5);
  EXPECT_EQ(TopPx(2), kScreenH - 5 * 20);
}

TEST_F(Roll, AlignmentPlacesTheLine) {
  const float W = kScreenW * kTpp;
  const float w = 4 * 10 * kTpp;  // "line" is 40 pixels wide
  const struct {
    const char* align;
    float left;
  } cases[] = {{"LEFT", W / 4},
               {"mid", (W - w) / 2},
               {"Right", W * 3 / 4 - w},
               {"", 1170},
               {"CENTRE", 1170}};
  for (const auto& c : cases) {
    Play({Text("line")}, std::string("HEADER\t20\t2\t") + c.align + "\t000000");
    Ticks(1);
    EXPECT_EQ(Line(1).Left(), c.left) << c.align;
  }
}

TEST_F(Roll, FontSizeIsBasePlusTwiceTheStepAndStaysTakeable) {
  const struct {
    const char* base;
    const char* step;
    float size;
  } cases[] = {{"20", "0", 20},  {"20", "3", 26},       {"20", "-4", 12}, {"12", "2.5", 16},
               {"20", "-40", 1}, {"20", "99999", 1000}, {"0", "", 1},     {"32767", "32767", 1000}};
  for (const auto& c : cases) {
    Play({Text("x", "1", c.step)}, std::string("HEADER\t") + c.base + "\t2\tMID\t000000");
    Ticks(1);
    EXPECT_EQ(Line(1).FontSize(), c.size) << c.base << " + 2 x " << c.step;
  }
}

TEST_F(Roll, LinesThatLeaveTheTopAreHiddenAndUnlisted) {
  // One tall line scrolling for a long time.
  Play({Text("only", "100")});
  Ticks(1);
  int hiddenAt = 0;
  for (int tick = 2; tick < 400 && hiddenAt == 0; ++tick) {
    const float before = TopPx(1);
    Ticks(1);
    if (!Line(1).Visible()) {
      hiddenAt = tick;
      EXPECT_EQ(before, -15) << "retired with exactly 5 pixels showing";
      EXPECT_EQ(TopPx(1), -15) << "a retired line keeps its last position";
    }
  }
  EXPECT_GT(hiddenAt, 0);
}

TEST_F(Roll, LineWithSixPixelsShowingMovesOnce_More) {
  backend().SetScreen({kScreenW, kScreenH + 1, 96, 96, {}});
  Play({Text("only", "100")});
  Ticks(1);
  while (Line(1).Visible() && TopPx(1) > -14) Ticks(1);
  EXPECT_EQ(TopPx(1), -14);  // 6 pixels showing
  Ticks(1);
  EXPECT_TRUE(Line(1).Visible());
  EXPECT_EQ(TopPx(1), -19);
  Ticks(1);
  EXPECT_FALSE(Line(1).Visible());
}

TEST_F(Roll, SeveralLinesRetireInOneStepWhereverTheyAreListed) {
  // With spacing 0 each line starts 5 pixels below the one before. A 24-pixel line followed by
  // a 20-pixel line reach the top edge in the same step, while the 40-pixel line before them is
  // still listed and the lines after them move on.
  Play({Text("a", "0", "10"), Text("b", "0", "2"), Text("c", "0"), Text("d", "0"),
        Text("e", "2000")},
       "HEADER\t20\t3\tMID\t000000");
  std::map<int, int> hiddenOnTick;
  std::set<int> shown;
  for (int tick = 1; tick <= 400; ++tick) {
    Ticks(1);
    for (int slot = 1; slot <= 5; ++slot) {
      if (Line(slot).Visible()) {
        shown.insert(slot);
      } else if (shown.contains(slot) && !hiddenOnTick.contains(slot)) {
        hiddenOnTick[slot] = tick;
      }
    }
  }
  ASSERT_TRUE(hiddenOnTick.contains(2));
  EXPECT_EQ(hiddenOnTick[2], hiddenOnTick[3]);
  EXPECT_GT(hiddenOnTick[1], hiddenOnTick[2]);
  EXPECT_GT(hiddenOnTick[4], hiddenOnTick[3]);
}

TEST_F(Roll, SpacingLongerThanTheScreenMeasuresTheTemplateLabel) {
  // A 20-pixel line with spacing 60 rises 1205 pixels; it leaves a 1080-pixel screen after
  // 1100 pixels, and the rest of its spacing is counted in heights of label 0 (12 pixels):
  // the next record comes when 12 x 60 / 5 = 144 < ticks, that is after 220 ticks of spacing
  // rather than 241.
  Play({Text("tall", "60"), Text("next")});
  Ticks(1);
  EXPECT_EQ(TicksUntilVisible(2), 221);
}

TEST_F(Roll, UnknownCommandsAreSkippedOneRecordPerTick) {
  Play({"TEXTT\tArial\t0\tmisspelt", "", "   ", Text("shown")});
  EXPECT_EQ(TicksUntilVisible(1), 3);
}

TEST_F(Roll, ScriptWithoutRecordsOnlyWatchesThePointer) {
  Play({});
  Ticks(10);
  EXPECT_FALSE(backend().Ended());
  backend().SetPointer({100, 100});
  Ticks(1);
  EXPECT_TRUE(backend().Ended());
}

TEST_F(Roll, BgmRecordsSwitchTheMusicAndTheRollGoesOn) {
  Play({"BGM\ton\ttheme.wav", Text("after")});
  Ticks(1);
  EXPECT_EQ(backend().Music().Now(), headless::HeadlessMusic::State::Playing);
  EXPECT_FALSE(Line(1).Visible());
  Ticks(1);
  EXPECT_TRUE(Line(1).Visible());
}

TEST_F(Roll, TickArrivingWhileMusicStartsIsSkipped) {
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

TEST_F(Roll, PointerMovingMoreThanTwentyPixelsBetweenTicksEnds) {
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

TEST_F(Roll, FailedPointerReadCountsAsTheOrigin) {
  const struct {
    forms::PixelPoint last;
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

TEST_F(Roll, SlowDriftNeverEnds) {
  Play({Text("a", "1"), "WAIT\t1"});
  for (int i = 0; i < 300; ++i) {
    backend().SetPointer({5 * i, 3 * i});
    Ticks(1);
  }
  EXPECT_FALSE(backend().Ended());
}

TEST_F(Roll, EveryDismissalEndsAfterStoppingTheMusic) {
  using Backend = headless::HeadlessBackend;
  const struct {
    const char* what;
    std::function<void(Backend&, forms::WindowId)> act;
    bool ends;
  } cases[] = {
      {"click beside the line", [](Backend& b, forms::WindowId w) { b.Click(w, 100, 1070); }, true},
      {"right click beside the line",
       [](Backend& b, forms::WindowId w) { b.Click(w, 100, 1070, forms::MouseButton::Right); },
       true},
      {"click on the line", [](Backend& b, forms::WindowId w) { b.Click(w, 960, 1070); }, false},
      {"key", [](Backend& b, forms::WindowId w) { b.KeyDown(w); }, true},
      {"another program activated", [](Backend& b, forms::WindowId) { b.ActivateOtherProgram(); },
       true},
      {"minimised", [](Backend& b, forms::WindowId w) { b.Minimize(w); }, true},
      {"asked to minimise", [](Backend& b, forms::WindowId w) { b.RequestMinimize(w); }, false},
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

TEST_F(Roll, ARollThatDoesNotTickStandsStillYetAPointerMoveOrAKeyEndsIt) {
  const struct {
    const char* what;
    std::string script;  // empty: the chosen script does not exist
  } rolls[] = {
      {"speed 0", "HEADER\t20\t0\tMID\t000000\r\n" + Text("a") + "\r\n"},
      {"no header", Text("a") + "\r\n"},
      {"no script", ""},
  };
  const struct {
    forms::PixelPoint to;  // from (900, 900)
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
