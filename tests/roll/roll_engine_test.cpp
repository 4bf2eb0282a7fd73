// The roll engine, tick by tick, without a window: its lines, and what it tells its listeners.
#include "roll/roll_engine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "forms/caption.h"
#include "platform/headless/headless_backend.h"
#include "script/script_loader.h"

namespace velloway {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr int kScreenW = 1920;
constexpr int kScreenH = 1080;
constexpr float kTpp = 15.0f;  // twips per pixel at 96 DPI

// Notes what the roll tells, one text an event, and the last line placed.
class Recorder : public RollListener {
 public:
  std::vector<std::string> Events;
  std::optional<PlacedLine> LastPlaced;
  // Runs at each BGM record, in the middle of the tick.
  std::function<void()> DuringMusic;

 private:
  void OnRecordDispatched(std::int32_t index, const RollRecord& record) override {
    Events.push_back("dispatch " + std::to_string(index) + " " + record.CommandText());
  }
  void OnLinePlaced(const PlacedLine& line) override {
    Events.push_back("place " + std::to_string(line.Slot) + " " + std::string(line.Text));
    LastPlaced = line;
  }
  void OnLinesMoved(const RollStep& step) override {
    Events.push_back("move " + std::to_string(step.Pixels));
  }
  void OnLineRetired(int slot) override { Events.push_back("retire " + std::to_string(slot)); }
  void OnScreenCleared() override { Events.push_back("clear"); }
  void OnMusicRecord(const RollRecord& record) override {
    Events.push_back("music " + std::string(record.Param(1)));
    if (DuringMusic) DuringMusic();
  }
  void OnRollStartedOver() override { Events.push_back("over"); }
};

class Roll : public ::testing::Test {
 protected:
  Roll() {
    backend_.SetScreen({kScreenW, kScreenH, 96, 96, {}});
    // A line is as many pixels high as its font has points, and 10 pixels wide per character.
    backend_.SetTextMetrics([](const platform::FontSpec& font, std::string_view text) {
      return platform::TextExtent{static_cast<int>(text.size()) * 10,
                                  static_cast<int>(std::lround(font.Size))};
    });
  }

  // Starts a script of the given lines, at speed 2 (200 ms) by default.
  RollEngine& Play(const std::vector<std::string>& lines,
                   const std::string& header = "HEADER\t20\t2\tMID\t000000") {
    std::string text = header + "\r\n";
    for (const std::string& line : lines) text += line + "\r\n";
    listening_.reset();
    engine_.emplace(backend_, backend_, ParseScript(text));
    recorder_ = Recorder();
    listening_.emplace(*engine_, recorder_);
    engine_->Start();
    return *engine_;
  }
  // Runs n ticks and returns what the last one told.
  std::vector<std::string> Ticks(int n) {
    for (int tick = 0; tick < n; ++tick) {
      recorder_.Events.clear();
      engine_->Tick();
    }
    return recorder_.Events;
  }
  const RollEngine::ListedLine* Listed(int slot) const {
    for (const RollEngine::ListedLine& line : engine_->Lines()) {
      if (line.Slot == slot) return &line;
    }
    return nullptr;
  }
  float TopPx(int slot) const { return Listed(slot)->Top / kTpp; }
  // Ticks until a line is placed in slot; -1 when none is within limit ticks.
  int TicksUntilPlaced(int slot, int limit = 100000) {
    for (int tick = 1; tick <= limit; ++tick) {
      Ticks(1);
      if (recorder_.LastPlaced && recorder_.LastPlaced->Slot == slot && Listed(slot)) return tick;
    }
    return -1;
  }

  headless::HeadlessBackend backend_;
  std::optional<RollEngine> engine_;
  Recorder recorder_;
  std::optional<RollEngine::Listening> listening_;
};

std::string Text(const std::string& caption, const std::string& spacing = "1",
                 const std::string& step = "0", const std::string& colour = "FFFFFF") {
  return "TEXT\tArial\t" + step + "\t" + caption + "\t" + colour + "\t" + spacing;
}

TEST_F(Roll, LinePlacedAtTheBottomRisesFivePixelsPerSpacingTick) {
  Play({Text("first"), Text("second", "1", "0", "00FF80")});
  // The dispatch places the line; nothing moves.
  EXPECT_THAT(Ticks(1), ElementsAre("dispatch 1 TEXT", "place 1 first"));
  const PlacedLine& line = *recorder_.LastPlaced;
  EXPECT_EQ(line.Font.Name, "Arial");
  EXPECT_EQ(line.Font.Size, 20.0f);
  EXPECT_EQ(line.ForeColor, 0xFFFFFF);
  EXPECT_EQ(line.Alignment, LineAlignment::Centre);
  EXPECT_EQ(line.Top, kScreenH * kTpp);
  EXPECT_EQ(TopPx(1), kScreenH);
  EXPECT_EQ(Listed(1)->Height, 20 * kTpp);
  for (int tick = 2; tick <= 5; ++tick) {
    EXPECT_THAT(Ticks(1), ElementsAre("move 5")) << tick;
    EXPECT_EQ(TopPx(1), kScreenH - 5 * (tick - 1)) << tick;
    EXPECT_EQ(engine_->Scroll(), 5 * (tick - 1)) << tick;
  }
  // A 20-pixel line with spacing 1: limit 4, so it moves on ticks 2 to 6 and the next line
  // comes on tick 7, 25 pixels below it.
  EXPECT_EQ(TicksUntilPlaced(2), 2);
  EXPECT_EQ(recorder_.LastPlaced->ForeColor, 0x80FF00);
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
    EXPECT_EQ(TicksUntilPlaced(2), c.ticks) << '"' << c.spacing << '"';
  }
}

TEST_F(Roll, WaitHoldsTheRollForWholeSeconds) {
  const struct {
    const char* header;
    const char* seconds;
    int nextOnTick;  // the tick that dispatches the record after the WAIT
  } cases[] = {
      {"HEADER\t20\t2\tMID\t000000", "3", 19},   {"HEADER\t20\t1\tMID\t000000", "3", 10},
      {"HEADER\t20\t3\tMID\t000000", "3", 34},   {"HEADER\t20\t2\tMID\t000000", "0", 5},
      {"HEADER\t20\t2\tMID\t000000", "-2", 5},   {"HEADER\t20\t2\tMID\t000000", "", 5},
      {"HEADER\t20\t2\tMID\t000000", "2.5", 14},
  };
  for (const auto& c : cases) {
    Play({Text("before", "0"), std::string("WAIT\t") + c.seconds, Text("after")}, c.header);
    Ticks(3);  // the first line: dispatch and one spacing tick, then the WAIT's dispatch
    const float heldAt = TopPx(1);
    for (int tick = 4; tick < c.nextOnTick; ++tick) {
      EXPECT_THAT(Ticks(1), IsEmpty()) << c.header << " WAIT " << c.seconds << ", tick " << tick;
    }
    EXPECT_THAT(Ticks(1), ElementsAre("dispatch 3 TEXT", "place 2 after"));
    EXPECT_EQ(TopPx(1), heldAt) << "nothing moves during a wait";
  }
}

TEST_F(Roll, LongWaitsCountPastSixteenBits) {
  Play({"WAIT\t3600", Text("after")}, "HEADER\t20\t3\tMID\t000000");
  EXPECT_EQ(TicksUntilPlaced(1, 40000), 36002);
}

TEST_F(Roll, PastTheLastRecordTheRollStartsOverInTheSameTick) {
  Play({Text("one", "0"), "CLEAR"});
  Ticks(2);  // placed, moved
  EXPECT_THAT(Ticks(1), ElementsAre("dispatch 2 CLEAR", "clear"));
  EXPECT_THAT(engine_->Lines(), IsEmpty());
  EXPECT_THAT(Ticks(1), ElementsAre("over", "dispatch 1 TEXT", "place 2 one"));
}

TEST_F(Roll, ClearUnlistsEveryLineAndKeepsTheNextSlot) {
  Play({Text("a", "0"), Text("b", "0"), Text("c", "0"), "CLEAR", Text("d", "0")});
  Ticks(6);
  EXPECT_EQ(engine_->Lines().size(), 3u);
  Ticks(1);
  EXPECT_THAT(engine_->Lines(), IsEmpty());
  EXPECT_THAT(Ticks(1), ElementsAre("dispatch 5 TEXT", "place 4 d"));
}

TEST_F(Roll, TwentyFirstLineTakesSlotOneOverWhileItIsListed) {
  std::vector<std::string> lines;
  for (int i = 1; i <= 21; ++i) lines.push_back(Text("line " + std::to_string(i), "0"));
  lines.push_back("WAIT\t100");
  Play(lines);
  Ticks(2 * 20);
  EXPECT_THAT(Ticks(1), ElementsAre("dispatch 21 TEXT", "retire 1", "place 1 line 21"));
  EXPECT_EQ(TopPx(1), kScreenH);
  EXPECT_EQ(engine_->Lines().size(), 20u);
  // The taken-over line is listed once, the newest: it rises 5 pixels per tick, not 10.
  EXPECT_EQ(engine_->Lines().back().Slot, 1);
  Ticks(1);
  EXPECT_EQ(TopPx(1), kScreenH - 5);
  EXPECT_EQ(TopPx(2), kScreenH - 5 * 20);
}

TEST_F(Roll, AlignmentPlacesTheLine) {
  const float W = kScreenW * kTpp;
  const float w = 4 * 10 * kTpp;  // "line" is 40 pixels wide
  const struct {
    const char* align;
    LineAlignment alignment;
    float left;
  } cases[] = {{"LEFT", LineAlignment::Left, W / 4},
               {"mid", LineAlignment::Centre, (W - w) / 2},
               {"Right", LineAlignment::Right, W * 3 / 4 - w},
               {"", LineAlignment::Other, 1170},  // where every line's label starts
               {"CENTRE", LineAlignment::Other, 1170}};
  for (const auto& c : cases) {
    Play({Text("line")}, std::string("HEADER\t20\t2\t") + c.align + "\t000000");
    Ticks(1);
    EXPECT_EQ(recorder_.LastPlaced->Left, c.left) << c.align;
    EXPECT_EQ(recorder_.LastPlaced->Alignment, c.alignment) << c.align;
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
    EXPECT_EQ(recorder_.LastPlaced->Font.Size, c.size) << c.base << " + 2 x " << c.step;
  }
}

TEST_F(Roll, ALineKeepsAsMuchOfItsCaptionAsALabelDoes) {
  const std::string caption = std::string(65'535, 'a') + "\xC3\xA9" + "tail";
  Play({Text(caption)});
  Ticks(1);
  EXPECT_EQ(recorder_.LastPlaced->Text, forms::KeptCaption(caption));
  EXPECT_EQ(recorder_.LastPlaced->Text.size(), 65'535u);  // cut before the split character
}

TEST_F(Roll, ALineIsRetiredOnceItsBottomEdgeWouldReachTheTopEdge) {
  const struct {
    int screenH;
    float lastTopPx;  // listed at this top, the next step retires it
  } cases[] = {{kScreenH, -15}, {kScreenH + 1, -19}};  // 5 pixels showing; 1 pixel showing
  for (const auto& c : cases) {
    backend_.SetScreen({kScreenW, c.screenH, 96, 96, {}});
    Play({Text("only", "100")});
    Ticks(1);
    while (Listed(1) && TopPx(1) > c.lastTopPx) Ticks(1);
    ASSERT_TRUE(Listed(1)) << c.screenH;
    EXPECT_EQ(TopPx(1), c.lastTopPx) << c.screenH;
    EXPECT_THAT(Ticks(1), ElementsAre("retire 1", "move 5")) << c.screenH;
    EXPECT_EQ(Listed(1), nullptr) << c.screenH;
  }
}

TEST_F(Roll, SeveralLinesRetireInOneStepWhereverTheyAreListed) {
  // With spacing 0 each line starts 5 pixels below the one before. A 24-pixel line followed by
  // a 20-pixel line reach the top edge in the same step, while the 40-pixel line before them is
  // still listed and the lines after them move on.
  Play({Text("a", "0", "10"), Text("b", "0", "2"), Text("c", "0"), Text("d", "0"),
        Text("e", "2000")},
       "HEADER\t20\t3\tMID\t000000");
  std::vector<std::string> retiring;
  for (int tick = 1; tick <= 400 && retiring.empty(); ++tick) {
    for (const std::string& event : Ticks(1)) {
      if (event.starts_with("retire")) retiring.push_back(event);
    }
  }
  EXPECT_THAT(retiring, ElementsAre("retire 2", "retire 3"));
  ASSERT_EQ(engine_->Lines().size(), 3u);
  EXPECT_EQ(engine_->Lines()[0].Slot, 1);
  EXPECT_EQ(engine_->Lines()[1].Slot, 4);
}

TEST_F(Roll, SpacingWithNoLineListedMeasuresTheTemplateLabel) {
  // A 20-pixel line with spacing 60 rises 1205 pixels; it leaves a 1080-pixel screen after
  // 1100 pixels, and the rest of its spacing is counted in heights of the template label (12
  // pixels): the next record comes when 12 x 60 / 5 = 144 < ticks, that is after 220 ticks of
  // spacing rather than 241.
  Play({Text("tall", "60"), Text("next")});
  Ticks(1);
  EXPECT_EQ(TicksUntilPlaced(2), 221);
}

// Smooth motion is told ahead which ticks move the lines.
TEST_F(Roll, TellsWhetherItsNextTickMovesTheLines) {
  Play({Text("a", "1"), "WAIT\t1", Text("b", "0"), "CLEAR", "BGM\tON\ttheme.wav", "BOGUS",
        Text("c", "2")});
  int steps = 0;
  for (int tick = 1; tick <= 80; ++tick) {  // past the end, into the start over
    const bool stepsNext = engine_->StepsNext();
    const std::int64_t before = engine_->Scroll();
    Ticks(1);
    EXPECT_EQ(engine_->Scroll() > before, stepsNext) << "tick " << tick;
    steps += stepsNext ? 1 : 0;
  }
  EXPECT_GT(steps, 20);
}

TEST_F(Roll, UnknownCommandsAreSkippedOneRecordPerTick) {
  Play({"TEXTT\tArial\t0\tmisspelt", "", "   ", Text("shown")});
  EXPECT_THAT(Ticks(1), ElementsAre("dispatch 1 TEXTT"));
  EXPECT_EQ(TicksUntilPlaced(1), 2);
}

TEST_F(Roll, ABgmRecordGoesToTheMusicAndTheRollGoesOnAtTheNextTick) {
  Play({"BGM\ton\ttheme.wav", Text("after")});
  EXPECT_THAT(Ticks(1), ElementsAre("dispatch 1 BGM", "music on"));
  EXPECT_THAT(Ticks(1), ElementsAre("dispatch 2 TEXT", "place 1 after"));
}

TEST_F(Roll, ATickWhileTheMusicRecordRunsIsSkipped) {
  Play({"BGM\tON\ttheme.wav", Text("after", "100")});
  bool ticking = false;
  recorder_.DuringMusic = [&] {
    ticking = engine_->Ticking();
    engine_->Tick();  // as a timer's tick delivered while the music starts
  };
  EXPECT_THAT(Ticks(1), ElementsAre("dispatch 1 BGM", "music ON"));
  EXPECT_TRUE(ticking);
  EXPECT_FALSE(engine_->Ticking());
  EXPECT_THAT(Ticks(1), ElementsAre("dispatch 2 TEXT", "place 1 after"));
}

TEST_F(Roll, AListenerMayStopListeningWhileTheRollTellsIt) {
  Play({"BGM\tON\ttheme.wav", Text("after")});
  Recorder second;
  Recorder third;
  const RollEngine::Listening secondListening(*engine_, second);
  const RollEngine::Listening thirdListening(*engine_, third);
  second.DuringMusic = [&] {
    listening_.reset();
  };  // the first one goes, a mirror with its monitor
  Ticks(1);
  EXPECT_THAT(third.Events, ElementsAre("dispatch 1 BGM", "music ON"));
  Ticks(1);
  EXPECT_THAT(recorder_.Events, IsEmpty());
  EXPECT_THAT(third.Events,
              ElementsAre("dispatch 1 BGM", "music ON", "dispatch 2 TEXT", "place 1 after"));
}

TEST_F(Roll, TicksAtTheScriptsSpeedOrNotAtAll) {
  const struct {
    const char* speed;
    std::int32_t interval;
  } cases[] = {{"0", 0}, {"1", 500}, {"2", 200}, {"3", 100}, {"7", 100}, {"-4", 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(Play({}, std::string("HEADER\t12\t") + c.speed + "\tMID\t000000").TickInterval(),
              c.interval)
        << c.speed;
  }
  const RollEngine missing(backend_, backend_, LoadScriptFile("/no/such/folder/Missing.vws", 1252));
  EXPECT_EQ(missing.TickInterval(), 0);
}

TEST_F(Roll, AScriptWithoutRecordsTellsNothing) {
  Play({});
  EXPECT_THAT(Ticks(10), IsEmpty());
}

}  // namespace
}  // namespace velloway
