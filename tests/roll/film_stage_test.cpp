// The roll as a film on the headless backend's clock: how long a film lasts, and what it leaves
// out after its last pass.
#include "roll/film_stage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/headless/headless_backend.h"
#include "script/script_loader.h"

namespace velloway {
namespace {

constexpr int kFps = 50;
// The frames at most a test films: a minute.
constexpr std::int64_t kMostFrames = 60 * kFps;

// A speed-3 script (a tick every 100 ms) of records on a 640x480 screen; lines of 20 points are
// 27 pixels high on the headless backend, of 19 points 25.
LoadedScript Script(const std::vector<std::string>& records, int points = 20) {
  std::string text = "HEADER\t" + std::to_string(points) + "\t3\tMID\t000000\r\n";
  for (const std::string& record : records) text += record + "\r\n";
  return ParseScript(text);
}

std::string Text(const std::string& caption, const std::string& spacing) {
  return "TEXT\tArial\t0\t" + caption + "\tFFFFFF\t" + spacing;
}

class Film : public ::testing::Test {
 protected:
  // Films the script as the renderer does, on a clock of its own. Returns how many frames it
  // has; each frame's visible line labels are counted in shownLines_.
  std::int64_t Shoot(LoadedScript script, int passes = 1) {
    stage_.reset();
    shownLines_.clear();
    backend_ = std::make_unique<headless::HeadlessBackend>();
    backend_->SetScreen({640, 480, 96, 96, {}, kFps});
    stage_ = std::make_unique<FilmStage>(*backend_, std::move(script), backend_->Music(), passes);
    return stage_->Film(*backend_, kMostFrames, [this](std::int64_t) {
      int shown = 0;
      for (int slot = 1; slot <= RollEngine::kLineSlots; ++slot) {
        shown += stage_->Lines().Line(slot).Visible() ? 1 : 0;
      }
      shownLines_.push_back(shown);
    });
  }

  std::unique_ptr<headless::HeadlessBackend> backend_;
  std::unique_ptr<FilmStage> stage_;
  std::vector<int> shownLines_;
};

// A line of 27 pixels with spacing 1 takes the tick that places it and 6 steps of 5 pixels.
TEST_F(Film, LastsOnePassUntilItsLastLineHasLeftOrItsFinalWaitHasPassed) {
  const struct {
    const char* what;
    std::vector<std::string> records;
    int passes;
    std::int64_t frames;
    int points = 20;
  } cases[] = {
      // 7 ticks of the line, the WAIT's tick and 10 more, then the roll starts over at 1.9 s.
      {"a final WAIT", {Text("a", "1"), "WAIT\t1"}, 1, 95},
      {"a final WAIT, music after it", {Text("a", "1"), "WAIT\t1", "BGM\tOFF"}, 1, 100},
      // The second pass starts at the first's last tick: 18 ticks more.
      {"two passes", {Text("a", "1"), "WAIT\t1"}, 2, 185},
      // Cleared at the 8th tick, started over at the 9th: nothing left to roll away.
      {"a final CLEAR", {Text("a", "1"), "CLEAR"}, 1, 45},
      // The line's 102nd step, at the 103rd tick, lets it go and ends its spacing, which counts
      // in its height; smooth motion shows it a few pixels more, and the roll starts over at the
      // 105th tick, 10.5 s.
      {"a line gone before its pass ends", {Text("a", "20"), "BGM\tOFF"}, 1, 525},
      // A 25-pixel line's bottom edge reaches the top edge of 480 pixels at its 101st step, the
      // last of its spacing, at the 113th tick, still in sight for smooth motion; the next pass
      // stops the roll with its WAIT, and the line is out of sight the frame smooth motion has
      // caught up with it, its bottom edge on the top edge: 0.16 s after the start over.
      {"a line let go as the next pass waits", {"WAIT\t1", Text("a", "20")}, 1, 578, 19},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Shoot(Script(c.records, c.points), c.passes), c.frames);
  }
}

// The pass ends at 0.8 s with the line 30 pixels up; the roll's next passes move it 30 pixels
// every 7 ticks, so that the engine lets it go at its 102nd step, the 119th tick; smooth motion
// shows it until it is out of sight, at 12.06 s.
TEST_F(Film, RollsTheLastLinesAwayWithoutTheNextPassesLines) {
  EXPECT_EQ(Shoot(Script({Text("a", "1")})), 603);
  for (std::size_t frame = 0; frame < shownLines_.size(); ++frame) {
    ASSERT_LE(shownLines_[frame], 1) << "frame " << frame;
  }
}

TEST_F(Film, PlaysNoMusicAfterItsLastPass) {
  Shoot(Script({"BGM\tON\ttune.wav", Text("a", "1"), "BGM\tOFF"}));
  EXPECT_EQ(backend_->Music().Now(), headless::HeadlessMusic::State::Closed);
}

}  // namespace
}  // namespace velloway
