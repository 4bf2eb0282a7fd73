// Smooth motion as the saver window shows it, frame by frame on the headless backend's clock:
// where each line is shown against where the engine has it, what is drawn, what a click hits.
#include "roll/smooth_motion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "roll/mirror_window.h"
#include "roll/saver_fixture.h"
#include "roll/saver_window.h"
#include "support/recording_canvas.h"

namespace velloway {
namespace {

constexpr float kTpp = 15.0f;  // twips per pixel at 96 DPI
constexpr RollOptions kSmooth{true, false};

std::string Text(const std::string& caption, const std::string& spacing) {
  return "TEXT\tArial\t0\t" + caption + "\tFFFFFF\t" + spacing;
}

class Smooth : public testing::SaverTest {
 protected:
  // Starts a script on a screen of the given size and refresh rate. A line is as many pixels
  // high as the header's base font size has points, 10 pixels a character.
  SaverWindow& Play(const std::vector<std::string>& records, int points, int speed,
                    RollOptions options = kSmooth, int refreshHz = 60,
                    platform::PixelRect screen = {0, 0, 1920, 1080}) {
    backend().SetScreen({screen.Width(), screen.Height(), 96, 96, {}, refreshHz});
    backend().SetTextMetrics([](const platform::FontSpec& font, std::string_view text) {
      return platform::TextExtent{static_cast<int>(text.size()) * 10,
                                  static_cast<int>(std::lround(font.Size))};
    });
    std::string text =
        "HEADER\t" + std::to_string(points) + "\t" + std::to_string(speed) + "\tMID\t000000\r\n";
    for (const std::string& record : records) text += record + "\r\n";
    WriteScript(text);
    return StartSaver(options);
  }
  const forms::Label& Line(int slot) const { return std::as_const(*saver_).LineLabel(slot); }
  // Where each caption is drawn, top edges in pixels (fractions included), when the whole
  // window is painted now.
  std::map<std::string, double> DrawnTops() const { return DrawnTopsOf(*saver_); }
  std::map<std::string, double> DrawnTopsOf(const forms::Form& form) const {
    std::map<std::string, double> tops;
    for (const auto& [caption, top] : EveryDrawnTop(form)) tops[caption] = top;
    return tops;
  }
  // The same, a caption drawn more than once (the roll started over while it is in sight) at
  // each of its places.
  std::multimap<std::string, double> EveryDrawnTop(const forms::Form& form) const {
    testing::RecordingCanvas canvas;
    form.PaintContent(canvas, {0, 0, 1 << 16, 1 << 16});
    std::multimap<std::string, double> tops;
    for (const auto& text : canvas.texts) {
      tops.emplace(text.Caption,
                   text.Y + static_cast<double>(text.Phase) / platform::kSubpixelSteps);
    }
    return tops;
  }
};

std::vector<std::string> Lines(int count, const std::string& spacing) {
  std::vector<std::string> lines;
  for (int i = 1; i <= count; ++i) lines.push_back(Text("line " + std::to_string(i), spacing));
  return lines;
}

TEST_F(Smooth, ShownLinesTrailTheEngineEvenlyFrameByFrame) {
  const struct {
    const char* what;
    std::vector<std::string> records;
    int points;
    int speed;
    int refreshHz;
    bool rollsOn;  // lines of 20 px or more roll without a WAIT: a pixel comes every 70 ms
  } cases[] = {
      {"20-px lines, speed 3", Lines(30, "1"), 20, 3, 60, true},
      {"20-px lines, speed 2, 144 Hz", Lines(30, "1"), 20, 2, 144, true},
      {"30-px lines, speed 3, 50 Hz", Lines(30, "1.5"), 30, 3, 50, true},
      {"20-px lines, speed 1", Lines(30, "1"), 20, 1, 75, false},
      {"tiny lines", Lines(60, "0"), 4, 3, 60, false},
      {"a long spacing", {Text("long", "12"), Text("next", "1")}, 20, 3, 60, true},
      {"WAITs and CLEARs",
       {Text("a", "1"), "WAIT\t1", Text("b", "2"), "CLEAR", Text("c", "0"), "WAIT\t2",
        Text("d", "1")},
       20,
       3,
       60,
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const SaverWindow& saver = Play(c.records, c.points, c.speed, kSmooth, c.refreshHz);
    const double speed = 5000.0 / saver.TickTimer().Interval();
    const double cap = std::ceil(speed / c.refreshHz) + 1;
    double shown = saver.ShownScroll();
    std::int64_t lastMoveMs = 0;
    std::int64_t longestStill = 0;
    for (std::int64_t ms = 1; ms <= 20'000; ++ms) {
      backend().AdvanceTime(1);
      const auto engine = static_cast<double>(saver.EngineScroll());
      const double now = saver.ShownScroll();
      ASSERT_GE(now, shown) << "backwards at " << ms << " ms";
      ASSERT_LE(now - shown, cap) << "too far in one frame at " << ms << " ms";
      ASSERT_GE(engine - now, 0) << "ahead at " << ms << " ms";
      ASSERT_LE(engine - now, 10) << "behind at " << ms << " ms";
      // Drawn where shown, to the nearest sixteenth of a pixel: on whole pixels at rest.
      const std::multimap<std::string, double> drawn = EveryDrawnTop(saver);
      for (int slot = 1; slot <= RollEngine::kLineSlots; ++slot) {
        if (!Line(slot).Visible()) continue;
        const double place = forms::ToPixels(Line(slot).Top(), kTpp) + engine - now;
        const auto [first, last] = drawn.equal_range(Line(slot).Caption());
        ASSERT_TRUE(std::any_of(first, last,
                                [&](const auto& top) {
                                  return std::abs(top.second - place) <=
                                         0.5 / platform::kSubpixelSteps;
                                }))
            << "slot " << slot << " at " << ms << " ms";
      }
      if (now != shown) {
        if (ms > 1000) longestStill = std::max(longestStill, ms - lastMoveMs);
        lastMoveMs = ms;
      }
      shown = now;
    }
    if (c.rollsOn) {
      EXPECT_LE(longestStill, 70) << "ms without a pixel";
    }
  }
}

TEST_F(Smooth, TheEngineMovesItsLinesAsWithoutSmoothMotion) {
  const std::vector<std::string> records = {Text("a", "1"),   "WAIT\t1",      Text("b", "0.5"),
                                            "BGM\tON\tx.wav", Text("c", "2"), "CLEAR",
                                            Text("d", "0"),   "BOGUS"};
  std::vector<std::string> played[2];
  for (const bool smooth : {false, true}) {
    SaverWindow& saver = Play(records, 20, 3, {smooth, false});
    std::vector<std::string>& ticks = played[smooth];
    struct Dispatches : RollListener {
      std::vector<std::string>& ticks;
      explicit Dispatches(std::vector<std::string>& played) : ticks(played) {}
      void OnRecordDispatched(std::int32_t index, const RollRecord&) override {
        ticks.push_back("dispatch " + std::to_string(index));
      }
    } dispatches(ticks);
    const RollEngine::Listening listening(saver.Roll(), dispatches);
    for (int tick = 0; tick < 400; ++tick) {
      backend().AdvanceTime(saver.TickTimer().Interval());
      std::string lines;
      for (int slot = 1; slot <= RollEngine::kLineSlots; ++slot) {
        if (Line(slot).Visible())
          lines += Line(slot).Caption() + "@" + std::to_string(Line(slot).Top()) + " ";
      }
      ticks.push_back(lines);
    }
  }
  EXPECT_EQ(played[0], played[1]);
}

TEST_F(Smooth, ALineTheEngineLetsGoIsDrawnUntilItIsOutOfSight) {
  const struct {
    const char* what;
    std::vector<std::string> records;
    const char* caption;
  } cases[] = {
      {"over the top edge", {Text("top", "40")}, "top"},
      {"its slot taken by the 21st line, mid-screen", Lines(24, "0"), "line 1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> records = c.records;
    records.push_back(Text("end", "60"));  // rolls on long enough for one pass alone
    Play(records, 10, 3, kSmooth, 60, {0, 0, 400, 300});
    std::optional<double> previous;
    bool gone = false;
    for (int ms = 1; ms <= 12'000 && !gone; ++ms) {
      backend().AdvanceTime(1);
      const std::map<std::string, double> tops = DrawnTops();
      const auto drawn = tops.find(c.caption);
      if (drawn == tops.end()) {
        gone = previous.has_value();
        continue;
      }
      if (previous) {
        ASSERT_LE(drawn->second, *previous) << ms << " ms";
      }
      previous = drawn->second;
    }
    ASSERT_TRUE(gone);
    // Gone when a frame took it out of sight: its 10-px bottom edge within a frame's step of
    // the top.
    EXPECT_LE(*previous + 10, 2);
  }
}

TEST_F(Smooth, WhenEverySpareCopyIsTakenTheHighestGivesWay) {
  // Tiny lines let go mid-screen faster than they leave it: 40 of them at once while the spare
  // copies are 20. The ones to stay drawn are the most recent, lowest on the screen.
  std::vector<std::string> records = Lines(60, "0");
  records.push_back(Text("end", "60"));
  Play(records, 4, 3);
  for (int ms = 0; ms < 30'000 && Line(1).Caption() != "end"; ++ms) backend().AdvanceTime(1);
  ASSERT_EQ(Line(1).Caption(), "end");
  const std::map<std::string, double> tops = DrawnTops();
  for (int i = 1; i <= 60; ++i) {
    EXPECT_EQ(tops.contains("line " + std::to_string(i)), i > 21) << "line " << i;
  }
}

TEST_F(Smooth, FramesDrawALineAtEachOfItsPhasesOnce) {
  // Images as large as 32-bit ones: a line's at all its phases fit in 3.2 MiB.
  const struct {
    const char* what;
    int points;  // the line's height in pixels
    int phases;
  } cases[] = {
      {"a line of 20 pixels: sixteen phases", 20, 16},
      {"a line as wide as the screen and 200 pixels high: two phases", 200, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Restart();
    backend().SetTextMetrics([](const platform::FontSpec& font, std::string_view text) {
      return platform::TextExtent{static_cast<int>(text.size()) * 10,
                                  static_cast<int>(std::lround(font.Size))};
    });
    const SaverWindow& saver = Play({Text(std::string(c.points * 2, 'w'), "40")}, c.points, 3);
    testing::RecordingCanvas canvas;
    std::set<int> phases;
    std::optional<double> previous;
    int frames = 0;
    int moved = 0;
    for (int ms = 0; ms < 3000; ++ms) {
      backend().AdvanceTime(1);
      canvas.texts.clear();
      backend().PaintInvalidated(saver.Id(), canvas);
      for (const auto& text : canvas.texts) {
        const double drawnAt = text.Y + static_cast<double>(text.Phase) / platform::kSubpixelSteps;
        ++frames;
        if (previous && drawnAt != *previous) ++moved;
        previous = drawnAt;
        phases.insert(text.Phase);
      }
    }
    EXPECT_EQ(static_cast<int>(phases.size()), c.phases);
    EXPECT_EQ(backend().TextImagesMade(), c.phases) << "each phase drawn once";
    EXPECT_GT(moved, 160) << "of " << frames << " frames";
  }
}

TEST_F(Smooth, AClickHitsTheLinesWhereTheyAreShown) {
  const struct {
    const char* what;
    bool onEngineTop;  // else at the shown bottom edge
    bool ends;
  } cases[] = {
      {"the line's shown bottom edge, below its place", false, false},
      {"the line's place, above where it is shown", true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const SaverWindow& saver = Play({Text("wide line here", "40")}, 40, 3);
    const auto trail = [&] {
      return static_cast<double>(saver.EngineScroll()) - saver.ShownScroll();
    };
    backend().AdvanceTime(300);
    for (int ms = 0; ms < 1000 && trail() < 3; ++ms) backend().AdvanceTime(1);
    ASSERT_GE(trail(), 3);
    const platform::PixelRect shown = Line(1).PixelBounds();
    const int y = c.onEngineTop ? forms::ToPixels(Line(1).Top(), kTpp) : shown.Bottom - 1;
    backend().Click(saver.Id(), (shown.Left + shown.Right) / 2, y);
    EXPECT_EQ(backend().Ended(), c.ends);
  }
}

TEST_F(Smooth, AMirrorShowsTheLinesOfTheSaverWindowAsFarBehindAtItsOwnDpi) {
  // Monitors as high as the main screen: a line's distance from the bottom edge is the same
  // there, in pixels of the monitor's vertical DPI.
  const platform::MonitorArea same{{1920, 0, 3840, 1080}, 96, 96};
  const std::vector<std::string> rising = {Text("a", "1"), Text("b", "3"), Text("c", "1")};
  // The 21st line takes the first one's slot while it is still in sight.
  std::vector<std::string> slotsTaken = Lines(24, "0");
  slotsTaken.push_back(Text("end", "60"));
  const struct {
    const char* what;
    platform::MonitorArea monitor;
    int scale;
    std::vector<std::string> records;
  } cases[] = {
      {"the same size", same, 1, rising},
      {"pixels twice as tall as wide", {{1920, 0, 3840, 1080}, 96, 192}, 2, rising},
      {"slots taken again while in sight", same, 1, slotsTaken},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Restart();
    backend().SetScreen({1920, 1080, 96, 96, {c.monitor}, 60});
    backend().SetTextMetrics([](const platform::FontSpec& font, std::string_view text) {
      return platform::TextExtent{static_cast<int>(text.size()) * 10,
                                  static_cast<int>(std::lround(font.Size))};
    });
    std::string script = "HEADER\t20\t3\tMID\t000000\r\n";
    for (const std::string& record : c.records) script += record + "\r\n";
    WriteScript(script);
    SaverWindow& saver = StartSaver({true, true});
    ASSERT_EQ(saver.Mirrors().size(), 1u);
    const MirrorWindow& mirror = *saver.Mirrors().front();
    int trailing = 0;
    for (int ms = 0; ms < 6000; ++ms) {
      backend().AdvanceTime(1);
      if (static_cast<double>(saver.EngineScroll()) != saver.ShownScroll()) ++trailing;
      const std::map<std::string, double> here = DrawnTops();
      const std::map<std::string, double> there = DrawnTopsOf(mirror);
      ASSERT_EQ(there.size(), here.size()) << ms << " ms";
      for (const auto& [caption, top] : here) {
        ASSERT_TRUE(there.contains(caption)) << caption << " at " << ms << " ms";
        // Each drawn to the nearest sixteenth of its own pixels.
        ASSERT_NEAR(there.at(caption) - 1080, c.scale * (top - 1080),
                    (c.scale + 1) * 0.5 / platform::kSubpixelSteps)
            << caption << " at " << ms << " ms";
      }
    }
    EXPECT_GT(trailing, 0) << "the shown scroll never trailed the engine's";
  }
}

}  // namespace
}  // namespace velloway
