// The roll on every monitor: the saver window and its mirrors on the headless backend.
#include "roll/mirror_window.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "roll/saver_fixture.h"

namespace velloway {
namespace {

constexpr RollOptions kEveryMonitor{false, true};

class EveryMonitor : public testing::SaverTest {
 protected:
  const SaverWindow& Play(const platform::ScreenMetrics& screen, const std::string& records,
                          const std::string& alignment = "MID") {
    backend().SetScreen(screen);
    WriteScript("HEADER\t12\t3\t" + alignment + "\t336699\r\n" + records);
    return StartSaver(kEveryMonitor);
  }
  void Ticks(int n) { backend().AdvanceTime(100 * n); }
};

// A line as a monitor shows it: its size at the monitor's DPI (the same physical size as on the
// primary screen, on the headless metrics) and its left edge for LEFT, MID and RIGHT.
struct MirroredLine {
  int Height;
  int Width;
  int Left[3];
};

// What one monitor shows of the roll: its bottom edge, how far each 5-pixel step of the primary
// screen rises there, and the script's two lines.
struct MirroredMonitor {
  int Bottom;
  double Step;
  MirroredLine First;   // "first line", 12 points
  MirroredLine Second;  // "second", 16 points
};

platform::PixelRect BoundsAfter(const MirroredMonitor& monitor, const MirroredLine& line,
                                int alignment, int steps) {
  const auto top = static_cast<int>(std::lround(monitor.Bottom - steps * monitor.Step));
  const int left = line.Left[alignment];
  return {left, top, left + line.Width, top + line.Height};
}

TEST_F(EveryMonitor, EachMirrorShowsTheSameLinesLaidOutForItsSizeAndDpiAndEndsTheSaver) {
  const struct {
    const char* layout;
    platform::ScreenMetrics screen;
    MirroredMonitor shown[2];  // one for each of the other monitors
  } layouts[] = {
      {"two monitors",
       {1920, 1080, 96, 96, {{{-1280, 56, 0, 1080}, 144, 144}}},
       {{1024, 7.5, {24, 120, {320, 580, 840}}, {32, 96, {320, 592, 864}}}}},
      {"three monitors",
       {2560, 1440, 120, 120, {{{2560, 0, 4480, 1080}, 96, 96}, {{-1920, 0, 0, 1200}, 192, 192}}},
       {{1080, 4, {16, 80, {480, 920, 1360}}, {21, 63, {480, 929, 1377}}},
        {1200, 8, {32, 160, {480, 880, 1280}}, {43, 129, {480, 896, 1311}}}}},
      // Pixels twice as tall as wide: each 5-pixel step of the main screen rises 10 here.
      {"pixels not square",
       {1920, 1080, 96, 96, {{{1920, 0, 3840, 1080}, 96, 192}}},
       {{1080, 10, {32, 160, {480, 880, 1280}}, {43, 129, {480, 896, 1311}}}}},
  };
  const char* const alignments[] = {"LEFT", "MID", "RIGHT"};
  for (const auto& layout : layouts) {
    for (int alignment = 0; alignment < 3; ++alignment) {
      SCOPED_TRACE(std::string(layout.layout) + ", " + alignments[alignment]);
      const platform::ScreenMetrics& screen = layout.screen;
      const SaverWindow& saver = Play(screen,
                                      "TEXT\tArial\t0\tfirst line\tFFFFFF\t3\r\n"
                                      "TEXT\tArial\t2\tsecond\t00FF00\t1\r\n"
                                      "CLEAR\r\n"
                                      "WAIT\t30\r\n",
                                      alignments[alignment]);
      const auto& mirrors = saver.Mirrors();
      ASSERT_EQ(mirrors.size(), screen.OtherMonitors.size());
      EXPECT_EQ(backend().Windows().size(), 1 + mirrors.size());  // and no cover
      for (std::size_t i = 0; i < mirrors.size(); ++i) {
        const auto& window = *backend().Window(mirrors[i]->Id());
        EXPECT_EQ(window.Caption, "MIRROR -+- Velloway");
        EXPECT_EQ(window.Bounds, screen.OtherMonitors[i].Bounds);
        EXPECT_TRUE(window.Visible && window.AboveOthers && window.Style.InvisiblePointer);
        EXPECT_EQ(mirrors[i]->BackColor(), saver.BackColor());
      }
      const auto expectLine = [&](int slot, int steps) {
        for (std::size_t i = 0; i < mirrors.size(); ++i) {
          const MirroredMonitor& shown = layout.shown[i];
          const forms::Label& line = mirrors[i]->LineLabel(slot);
          EXPECT_TRUE(line.Visible()) << "mirror " << i << ", slot " << slot;
          EXPECT_EQ(line.Caption(), saver.LineLabel(slot).Caption());
          EXPECT_EQ(line.ForeColor(), saver.LineLabel(slot).ForeColor());
          EXPECT_EQ(line.PixelBounds(),
                    BoundsAfter(shown, slot == 1 ? shown.First : shown.Second, alignment, steps))
              << "mirror " << i << ", slot " << slot << " after " << steps << " steps";
        }
      };

      Ticks(1);
      expectLine(1, 0);
      Ticks(4);
      expectLine(1, 4);
      int ticks = 5;
      while (!saver.LineLabel(2).Visible() && ticks < 100) {
        Ticks(1);
        ++ticks;
      }
      ASSERT_TRUE(saver.LineLabel(2).Visible());
      expectLine(1, ticks - 2);  // every tick but the two that placed a line
      expectLine(2, 0);
      Ticks(1);
      expectLine(1, ticks - 1);
      expectLine(2, 1);

      while (saver.LineLabel(1).Visible() && ticks < 200) {
        Ticks(1);
        ++ticks;
      }
      ASSERT_FALSE(saver.LineLabel(2).Visible());  // cleared
      for (const auto& mirror : mirrors) {
        EXPECT_FALSE(mirror->LineLabel(1).Visible());
        EXPECT_FALSE(mirror->LineLabel(2).Visible());
      }
      backend().Click(mirrors.back()->Id(), 0, 0);
      EXPECT_TRUE(backend().Ended());
      Restart();
    }
  }
}

TEST_F(EveryMonitor, EachWindowRetiresALineWhenItLeavesItsOwnTopEdge) {
  // The primary screen, one twice as high at its DPI, one of its height at twice its DPI.
  const platform::ScreenMetrics screen{
      1920, 1080, 96, 96, {{{1920, 0, 3840, 2160}, 96, 96}, {{-1920, 0, 0, 1080}, 192, 192}}};
  // A 16-pixel line rising 5 pixels a step; spacing long enough to see it out everywhere.
  const SaverWindow& saver = Play(screen, "TEXT\tArial\t0\tline\tFFFFFF\t200\r\nWAIT\t30\r\n");
  Ticks(1);
  const forms::Label* lines[] = {&saver.LineLabel(1), &saver.Mirrors()[0]->LineLabel(1),
                                 &saver.Mirrors()[1]->LineLabel(1)};
  int gone[] = {0, 0, 0};
  for (int step = 1; step <= 500; ++step) {
    Ticks(1);
    for (int i = 0; i < 3; ++i) {
      if (gone[i] == 0 && !lines[i]->Visible()) gone[i] = step;
    }
  }
  // The step at which the line's bottom edge would reach the top edge: 1080 + 16 pixels at 5 a
  // step, 2160 + 16 at 5, 1080 + 32 at 10.
  EXPECT_EQ(gone[0], 220);
  EXPECT_EQ(gone[1], 436);
  EXPECT_EQ(gone[2], 112);
}

TEST_F(EveryMonitor, MirrorsFitNewScreensAndKeepTheLinesTheyShow) {
  const SaverWindow& saver =
      Play({1920, 1080, 96, 96, {{{1920, 0, 3200, 1024}, 96, 96}, {{-1280, 0, 0, 1024}, 96, 96}}},
           "TEXT\tArial\t0\tfirst\tFFFFFF\t1\r\nTEXT\tArial\t0\tsecond\tFFFFFF\t1\r\nWAIT\t30\r\n");
  Ticks(3);
  const MirrorWindow& kept = *saver.Mirrors()[0];
  const platform::PixelRect first = kept.LineLabel(1).PixelBounds();
  ASSERT_TRUE(kept.LineLabel(1).Visible());

  const platform::MonitorArea smaller{{1280, 0, 2304, 768}, 96, 96};
  backend().SetScreen({1280, 720, 96, 96, {smaller}});
  ASSERT_EQ(saver.Mirrors().size(), 1u);
  EXPECT_EQ(saver.Mirrors()[0].get(), &kept);
  EXPECT_EQ(backend().Windows().size(), 2u);
  EXPECT_EQ(backend().Window(kept.Id())->Bounds, smaller.Bounds);
  EXPECT_EQ(kept.LineLabel(1).PixelBounds(), first);

  for (int tick = 0; tick < 10 && !kept.LineLabel(2).Visible(); ++tick) Ticks(1);
  // "second" at 12 points, 48 by 16 pixels, centred on the smaller monitor's bottom edge.
  EXPECT_EQ(kept.LineLabel(2).PixelBounds(), (platform::PixelRect{488, 768, 536, 784}));
}

}  // namespace
}  // namespace velloway
