#include "roll/saver_window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "identity/program_identity.h"
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
  EXPECT_EQ(window.Style.Border, forms::BorderStyle::None);
  EXPECT_FALSE(window.Style.ShowInTaskbar);
  EXPECT_TRUE(window.Style.InvisiblePointer);
  EXPECT_TRUE(window.Visible);
  std::vector<const forms::Label*> labels = {&saver.TemplateLabel()};
  for (int slot = 1; slot <= SaverWindow::kLineSlots; ++slot)
    labels.push_back(&saver.LineLabel(slot));
  for (std::size_t i = 0; i < labels.size(); ++i) {
    const forms::Label& label = *labels[i];
    EXPECT_FALSE(label.Visible()) << i;
    EXPECT_TRUE(label.AutoSize()) << i;
    EXPECT_EQ(label.TextAlignment(), forms::Alignment::Center) << i;
    EXPECT_EQ(label.Caption(), "") << i;
  }
  // The template label keeps its designed size: the roll measures it when no line is listed.
  EXPECT_EQ(saver.TemplateLabel().Width(), 60);
  EXPECT_EQ(saver.TemplateLabel().Height(), 180);
}

TEST_F(SaverSetUp, WindowCoversTheScreenAtEveryDpi) {
  WriteScript("HEADER\t12\t2\tMID\t000000\r\n");
  for (const int dpi : {96, 120, 144, 192}) {
    backend().SetScreen({3840, 2160, dpi, dpi, {}});
    const SaverWindow& saver = StartSaver();
    EXPECT_EQ(ShownWindow().Bounds, (forms::PixelRect{0, 0, 3840, 2160})) << dpi;
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
      {"Night.vws", "Script not found: " + ProgramFilePath(dir_.Utf8(), "Night.vws")},
      {"", "No script chosen: " + ProgramFilePath(dir_.Utf8(), "")},
  };
  backend().SetScreen({1920, 1080, 96, 96, {}});
  for (const auto& c : cases) {
    Choose(c.choice);
    const SaverWindow& saver = StartSaver();
    const forms::Label& message = saver.MessageLabel();
    EXPECT_TRUE(message.Visible());
    EXPECT_EQ(message.Caption(), c.message);
    EXPECT_EQ(message.ForeColor(), 0xFFFFFF);
    const forms::PixelRect bounds = message.PixelBounds();
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
  std::vector<forms::PixelRect> covers;
  for (const headless::HeadlessWindow* window : backend().Windows()) {
    if (window->Id == saver.Id()) continue;
    EXPECT_TRUE(window->Visible);
    EXPECT_TRUE(window->Style.InvisiblePointer);
    EXPECT_EQ(window->Style.Border, forms::BorderStyle::None);
    covers.push_back(window->Bounds);
  }
  EXPECT_THAT(covers, ElementsAre(forms::PixelRect{1920, 0, 3200, 1024},
                                  forms::PixelRect{-1280, 56, 0, 1080}));
  const forms::WindowId cover = backend().Windows()[1]->Id;
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
  const forms::PixelRect first = saver.LineLabel(1).PixelBounds();
  ASSERT_TRUE(saver.LineLabel(1).Visible());

  backend().SetScreen({1280, 720, 96, 96, {{{1280, 0, 2304, 768}}, {{-1024, 0, 0, 768}}}});
  EXPECT_EQ(ShownWindow().Bounds, (forms::PixelRect{0, 0, 1280, 720}));
  std::vector<forms::PixelRect> covers;
  for (const headless::HeadlessWindow* window : backend().Windows()) {
    if (window->Id != saver.Id()) covers.push_back(window->Bounds);
  }
  EXPECT_THAT(covers, ElementsAre(forms::PixelRect{1280, 0, 2304, 768},
                                  forms::PixelRect{-1024, 0, 0, 768}));
  EXPECT_EQ(saver.LineLabel(1).PixelBounds(), first);

  for (int tick = 0; tick < 10 && !saver.LineLabel(2).Visible(); ++tick) {
    backend().AdvanceTime(200);
  }
  const forms::PixelRect second = saver.LineLabel(2).PixelBounds();
  EXPECT_EQ(second.Top, 720);  // just below the new bottom edge, centred on the new width
  EXPECT_NEAR(second.Left + second.Width() / 2.0, 640.0, 1.0);
}

}  // namespace
}  // namespace velloway
