#include "forms/application.h"
#include "forms/form.h"
#include "forms/label.h"
#include "forms/timer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/headless/headless_backend.h"
#include "support/recording_canvas.h"

namespace velloway::forms {
namespace {

using ::testing::ElementsAre;

class ProbeForm : public Form {
 public:
  explicit ProbeForm(platform::Backend& backend) : Form(backend, Design()) {}
  int clicks = 0;
  int keys = 0;

 protected:
  void OnClick() override { ++clicks; }
  void OnKeyDown() override { ++keys; }

 private:
  static FormDesign Design() {
    FormDesign design;
    design.Caption = "Probe";
    design.BackColor = 0x123456;
    design.Width = 9600;  // 640 x 480 pixels at 96 DPI
    design.Height = 7200;
    return design;
  }
};

LabelDesign LineDesign(std::string caption, bool visible) {
  LabelDesign design;
  design.Caption = std::move(caption);
  design.Font.Size = 15;  // 20 pixels high at 96 DPI with the headless metrics
  design.AutoSize = true;
  design.Visible = visible;
  // As designed: the size of the (ASCII) caption in these metrics.
  design.Width = static_cast<Twips>(design.Caption.size() * 10 * 15);
  design.Height = 20 * 15;
  return design;
}

class FormsTest : public ::testing::Test {
 protected:
  const headless::HeadlessWindow& Window() { return *backend.Window(form.Id()); }
  std::vector<platform::PixelRect> TakeInvalidated() {
    std::vector<platform::PixelRect> areas = Window().Invalidated;
    testing::RecordingCanvas ignored;
    backend.PaintInvalidated(form.Id(), ignored);
    return areas;
  }

  headless::HeadlessBackend backend;
  ProbeForm form{backend};
};

TEST_F(FormsTest, AutoSizedLabelFollowsItsText) {
  Label label(form, LineDesign("", false));
  const struct {
    const char* caption;
    float size;
    Twips width, height;
  } cases[] = {
      {"Hello", 15, 5 * 10 * 15, 20 * 15},  // 5 characters of 10 pixels, 20 pixels high
      {"Hello", 30, 5 * 20 * 15, 40 * 15},
      {"\xE6\x97\xA5\xE6\x9C\xAC", 15, 2 * 10 * 15, 20 * 15},  // two characters, six bytes
      {"", 15, 0, 20 * 15},
  };
  for (const auto& c : cases) {
    label.SetText(c.caption, label.FontName(), c.size);
    EXPECT_EQ(label.Width(), c.width) << c.caption;
    EXPECT_EQ(label.Height(), c.height) << c.caption;
  }
}

TEST_F(FormsTest, DesignSizeStandsUntilTheTextChanges) {
  LabelDesign design = LineDesign("", false);
  design.Width = 60;
  design.Height = 180;
  Label label(form, design);
  EXPECT_EQ(label.Width(), 60);
  label.SetTop(1000);
  EXPECT_EQ(label.Height(), 180);
  label.SetCaption("ab");
  EXPECT_EQ(label.Height(), 20 * 15);
}

TEST_F(FormsTest, ChangesRepaintOnlyTheOldAndNewRectangles) {
  form.Show();
  Label line(form, LineDesign("Hello", true));  // 50 x 20 pixels at (0, 0)
  Label hidden(form, LineDesign("Hidden", false));
  TakeInvalidated();

  line.SetTop(100 * 15);
  EXPECT_THAT(TakeInvalidated(), ElementsAre(platform::PixelRect{0, 0, 50, 120}));
  line.SetLeft(10 * 15);
  EXPECT_THAT(TakeInvalidated(), ElementsAre(platform::PixelRect{0, 100, 60, 120}));
  line.SetCaption("Hi");
  EXPECT_THAT(TakeInvalidated(), ElementsAre(platform::PixelRect{10, 100, 60, 120}));
  hidden.SetTop(300 * 15);
  hidden.SetCaption("Still hidden");
  EXPECT_THAT(TakeInvalidated(), ElementsAre());
  hidden.SetVisible(true);
  EXPECT_THAT(TakeInvalidated(), ElementsAre(platform::PixelRect{0, 300, 120, 320}));
  line.SetVisible(false);
  EXPECT_THAT(TakeInvalidated(), ElementsAre(platform::PixelRect{10, 100, 30, 120}));
  form.SetBackColor(0);
  EXPECT_THAT(TakeInvalidated(), ElementsAre(platform::PixelRect{0, 0, 640, 480}));
}

TEST_F(FormsTest, AreasNobodyPaintsMergeRatherThanPileUp) {
  form.Show();
  Label line(form, LineDesign("Hello", true));  // 50 x 20 pixels
  TakeInvalidated();
  for (int top = 1; top <= 3000; ++top) line.SetTop(static_cast<Twips>(top * 15));
  EXPECT_LE(Window().Invalidated.size(), headless::kMaxInvalidatedAreas);
  platform::PixelRect all;
  for (const platform::PixelRect& area : Window().Invalidated) all = all.Union(area);
  EXPECT_EQ(all, (platform::PixelRect{0, 0, 50, 3020}));
}

TEST_F(FormsTest, CaptionsAreCutToWholeCharactersBeyondWhatAScreenShows) {
  const std::string sun = "\xE6\x97\xA5";  // three bytes
  std::string suns;
  for (int i = 0; i < 30'000; ++i) suns += sun;
  const struct {
    std::string caption;
    std::size_t bytes;
  } cases[] = {
      {std::string(65'536, 'x'), 65'536},
      {std::string(100'000, 'x'), 65'536},
      {suns, 65'535},  // 21,845 whole characters
  };
  Label line(form, LineDesign("", true));
  for (const auto& c : cases) {
    line.SetCaption(c.caption);
    EXPECT_EQ(line.Caption().size(), c.bytes);
    EXPECT_EQ(line.Caption(), c.caption.substr(0, c.bytes));
  }
}

TEST_F(FormsTest, PaintDrawsBackgroundThenVisibleLabelsInTheArea) {
  form.Show();
  LabelDesign centred = LineDesign("Centre", true);
  centred.AutoSize = false;
  centred.TextAlignment = Alignment::Center;
  centred.Width = 100 * 15;
  centred.Top = 200 * 15;
  Label top(form, LineDesign("Top", true));
  Label middle(form, centred);
  Label hidden(form, LineDesign("Hidden", false));
  LabelDesign colored = LineDesign("Red", true);
  colored.ForeColor = 255;
  colored.Top = 400 * 15;
  Label bottom(form, colored);

  testing::RecordingCanvas canvas;
  form.PaintContent(canvas, {0, 150, 640, 480});
  ASSERT_EQ(canvas.fills.size(), 1u);
  EXPECT_EQ(canvas.fills[0].Rect, (platform::PixelRect{0, 150, 640, 480}));
  EXPECT_EQ(canvas.fills[0].Color, 0x123456);
  ASSERT_EQ(canvas.texts.size(), 2u);
  EXPECT_EQ(canvas.texts[0].Caption, "Centre");
  EXPECT_EQ(canvas.texts[0].X, 20);  // (100 - 60) / 2
  EXPECT_EQ(canvas.texts[0].Y, 200);
  EXPECT_EQ(canvas.texts[1].Caption, "Red");
  EXPECT_EQ(canvas.texts[1].Color, 255);
}

TEST_F(FormsTest, ALabelBetweenPixelsIsDrawnAtTheNearestPhaseItHas) {
  form.Show();
  // 50 x 20 pixels: drawn at every sixteenth. 600 x 400 pixels: its images fit at every eighth.
  Label small(form, LineDesign("Hello", true));
  LabelDesign bigDesign = LineDesign("Big", true);
  bigDesign.Font.Size = 300;
  Label big(form, bigDesign);
  const struct {
    Label& label;
    double top;  // pixels
    int row;
    int phase;  // sixteenths of a pixel below the row
  } cases[] = {
      {small, 10.0, 10, 0},  {small, 10.03, 10, 0}, {small, 10.47, 10, 8}, {small, 10.49, 10, 8},
      {small, 10.97, 11, 0}, {small, -0.02, 0, 0},  {small, -0.49, -1, 8}, {small, -2.97, -3, 0},
      {big, 10.2, 10, 0},    {big, 10.3, 10, 8},    {big, 10.74, 11, 0},   {big, -0.2, 0, 0},
      {big, -0.3, -1, 8},
  };
  for (const auto& c : cases) {
    c.label.ShowTopAt(c.top);
    testing::RecordingCanvas canvas;
    c.label.Paint(canvas);
    ASSERT_EQ(canvas.texts.size(), 1u) << c.top;
    EXPECT_EQ(canvas.texts[0].Y, c.row) << c.label.Caption() << " at " << c.top;
    EXPECT_EQ(canvas.texts[0].Phase, c.phase) << c.label.Caption() << " at " << c.top;
  }
}

TEST_F(FormsTest, AClickIsAButtonPressedAndReleasedOffTheVisibleLabels) {
  form.Show();
  Label visible(form, LineDesign("Hello", true));  // (0, 0) to (50, 20)
  LabelDesign hiddenDesign = LineDesign("Hidden", false);
  hiddenDesign.Top = 100 * 15;
  Label hidden(form, hiddenDesign);
  using enum platform::MouseButton;
  const struct {
    platform::MouseButton button;
    int downX, downY;  // where the button goes down
    int upX, upY;      // and where it comes up
    int clicks;
  } cases[] = {
      {Left, 10, 10, 10, 10, 0},      {Left, 49, 19, 49, 19, 0},       {Left, 50, 10, 50, 10, 1},
      {Left, 10, 20, 10, 20, 1},      {Left, 10, 105, 10, 105, 1},     {Left, 300, 300, 400, 10, 1},
      {Right, 300, 300, 300, 300, 1}, {Middle, 300, 300, 300, 300, 1}, {X1, 300, 300, 300, 300, 1},
      {X2, 300, 300, 300, 300, 1},    {Left, 10, 10, 300, 300, 0},     {Right, 300, 300, 10, 10, 0},
  };
  for (const auto& c : cases) {
    form.clicks = 0;
    backend.MouseDown(form.Id(), c.button, c.downX, c.downY);
    backend.MouseUp(form.Id(), c.button, c.upX, c.upY);
    EXPECT_EQ(form.clicks, c.clicks) << static_cast<int>(c.button) << " down at " << c.downX << ","
                                     << c.downY << ", up at " << c.upX << "," << c.upY;
  }
  form.clicks = 0;
  backend.MouseDown(form.Id(), Left, 300, 300);
  backend.MouseUp(form.Id(), Right, 300, 300);  // not the button that went down
  backend.MouseUp(form.Id(), Left, 300, 300);
  backend.MouseUp(form.Id(), Left, 300, 300);  // released again, never pressed
  EXPECT_EQ(form.clicks, 1);
  backend.KeyDown(form.Id());
  backend.KeyDown(form.Id());
  EXPECT_EQ(form.keys, 2);
}

TEST_F(FormsTest, TimerTicksEveryIntervalWhileEnabled) {
  int ticks = 0;
  Timer timer(form, 200, false, [&] { ++ticks; });
  backend.AdvanceTime(1000);
  EXPECT_EQ(ticks, 0);  // disabled as designed
  timer.SetEnabled(true);
  backend.AdvanceTime(1000);
  EXPECT_EQ(ticks, 5);
  timer.SetInterval(0);
  backend.AdvanceTime(1000);
  EXPECT_EQ(ticks, 5);  // an interval of 0 raises no ticks, even enabled
  timer.SetInterval(100);
  backend.AdvanceTime(350);
  EXPECT_EQ(ticks, 8);
  timer.SetEnabled(false);
  backend.AdvanceTime(1000);
  EXPECT_EQ(ticks, 8);
}

TEST_F(FormsTest, ShowCentresAndUnloadDestroys) {
  backend.SetScreen({1920, 1080, 96, 96, {}});
  form.Show();
  EXPECT_EQ(Window().Bounds, (platform::PixelRect{640, 300, 1280, 780}));
  const platform::WindowId handle = form.Id();
  form.Unload();
  EXPECT_FALSE(form.IsLoaded());
  EXPECT_EQ(backend.Window(handle), nullptr);
}

TEST(Application, SettingsFallBackToTheDefaultAndIgnoreFailedWrites) {
  headless::HeadlessBackend backend;
  Application app(backend, backend.Settings());
  EXPECT_EQ(app.GetSetting("Velloway", "Setting", "ScriptFileName", "Default.vws"), "Default.vws");
  app.SaveSetting("Velloway", "Setting", "ScriptFileName", "Night.vws");
  EXPECT_EQ(app.GetSetting("Velloway", "Setting", "ScriptFileName", "Default.vws"), "Night.vws");
  backend.SettingsStore().SetWritesFail(true);
  app.SaveSetting("Velloway", "Setting", "ScriptFileName", "Other.vws");
  EXPECT_EQ(app.GetSetting("Velloway", "Setting", "ScriptFileName", "Default.vws"), "Night.vws");
  EXPECT_EQ(Application::Major(), 1);
  EXPECT_EQ(Application::Minor(), 0);
  EXPECT_EQ(Application::Revision(), 1000);
}

}  // namespace
}  // namespace velloway::forms
