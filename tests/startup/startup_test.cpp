#include "startup/startup.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/program_identity.h"
#include "dialogs/preview_window.h"
#include "dialogs/settings_dialog.h"
#include "platform/headless/headless_backend.h"
#include "roll/saver_window.h"
#include "support/temp_dir.h"

namespace velloway {
namespace {

using namespace identity;

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

// A window of another program, such as the host of a preview or a running copy.
class OtherWindow : public forms::Form {
 public:
  OtherWindow(platform::Backend& backend, std::string caption)
      : forms::Form(backend, [&] {
          forms::FormDesign design;
          design.Caption = std::move(caption);
          return design;
        }()) {}
};

class StartUp : public ::testing::Test {
 protected:
  // As on Windows, the scripts lie beside the program.
  StartUp() {
    backend.SetProgramFolder(dir.Utf8());
    backend.SetScriptFolder(dir.Utf8());
    backend.SetFileNames(testing::MachineFileNames());
  }

  // The captions of the windows the start opened, besides those the test made.
  std::vector<std::string> Start(const std::string& arguments) {
    std::vector<platform::WindowId> before;
    for (const auto* window : backend.Windows()) before.push_back(window->Id);
    RunProgram(backend, backend, arguments, windows);
    std::vector<std::string> opened;
    for (const auto* window : backend.Windows()) {
      if (std::find(before.begin(), before.end(), window->Id) == before.end() && window->Visible) {
        opened.push_back(window->Caption);
      }
    }
    return opened;
  }
  // A value of the installation record.
  std::optional<std::string> Installed(std::string_view key) {
    return backend.SettingsStore().Read(kAppName, kInstallSection, key);
  }

  testing::TempDir dir;
  headless::HeadlessBackend backend;
  ProgramWindows windows;
};

TEST_F(StartUp, TheSwitchChoosesTheWindow) {
  OtherWindow host(backend, "Host pane");
  host.Show();
  const std::string pane = std::to_string(host.Id());
  const struct {
    std::string arguments;
    std::vector<std::string_view> opened;
  } cases[] = {
      {"/s", {kSaverCaption}},
      {"/S", {kSaverCaption}},
      {"/S 99", {kSaverCaption}},
      {"", {kSettingsCaption}},
      {"/c", {kSettingsCaption}},
      {"/C", {kSettingsCaption}},
      {"/c:5678", {kSettingsCaption}},
      {"/p " + pane, {kPreviewCaption}},
      {"/P " + pane, {kPreviewCaption}},
      {"/p", {}},
      {"/p:" + pane, {}},
      {"/p 0", {}},
      {"/p 987654", {}},  // no such window
      {"/p " + std::to_string(headless::HeadlessBackend::kDesktop), {}},
      {"s", {}},
      {" /s", {}},
      {"/a", {}},
  };
  for (const auto& c : cases) {
    windows.Saver.reset();
    windows.Dialog.reset();
    windows.Preview.reset();
    EXPECT_THAT(Start(c.arguments), ElementsAreArray(c.opened)) << '"' << c.arguments << '"';
  }
}

TEST_F(StartUp, SettingsDialogWaitsForPendingEventsFirst) {
  bool ranBeforeTheDialog = false;
  backend.QueueEvent([&] { ranBeforeTheDialog = backend.Windows().empty(); });
  EXPECT_THAT(Start("/c"), ElementsAre(kSettingsCaption));
  EXPECT_TRUE(ranBeforeTheDialog);
}

TEST_F(StartUp, RunningCopyStopsEveryStartButTheRecordIsWritten) {
  for (const std::string_view running : kRunningCopyCaptions) {
    OtherWindow copy(backend, std::string(running));
    copy.Show();
    const std::string preview = "/p " + std::to_string(copy.Id());
    for (const std::string& arguments :
         {std::string("/s"), std::string(), std::string("/c"), preview}) {
      backend.SettingsStore().Erase(kAppName, kInstallSection, kCurrentVersionKey);
      EXPECT_THAT(Start(arguments), IsEmpty()) << running << " " << arguments;
      EXPECT_EQ(Installed(kCurrentVersionKey), "1.00.1000");
    }
  }
}

TEST_F(StartUp, AStartWhileAnotherHoldsTheRunningCopyLockOpensNothing) {
  const std::unique_ptr<platform::RunningCopyLock> otherStart = backend.ClaimRunningCopyLock();
  ASSERT_NE(otherStart, nullptr);
  EXPECT_THAT(Start("/s"), IsEmpty());
  EXPECT_EQ(Installed(kCurrentVersionKey), "1.00.1000");
  EXPECT_EQ(backend.RunningCopySearches(), 0);  // it does not look for a running copy
}

TEST_F(StartUp, RunningPreviewDoesNotStopAStart) {
  OtherWindow preview(backend, std::string(kPreviewCaption));
  preview.Show();
  EXPECT_THAT(Start("/s"), ElementsAre(kSaverCaption));
}

TEST_F(StartUp, InstallationRecordIsWrittenOnEveryStart) {
  for (const char* arguments : {"/a", "/s"}) {
    backend.SettingsStore().Erase(kAppName, kInstallSection, kApplicationPathKey);
    Start(arguments);
    EXPECT_EQ(Installed(kApplicationPathKey), dir.Utf8()) << arguments;
    EXPECT_EQ(Installed(kCurrentVersionKey), "1.00.1000") << arguments;
  }
}

TEST_F(StartUp, UnwritableSettingsDoNotStopTheStart) {
  backend.SettingsStore().SetWritesFail(true);
  EXPECT_THAT(Start("/s"), ElementsAre(kSaverCaption));
}

TEST(InstallVersionText, PadsMinorAndRevision) {
  EXPECT_EQ(InstallVersionText(1, 0, 1000), "1.00.1000");
  EXPECT_EQ(InstallVersionText(2, 5, 7), "2.05.0007");
  EXPECT_EQ(InstallVersionText(1, 12, 34), "1.12.0034");
}

TEST(ParsePreviewHost, ReadsTheLeadingNumberAsAWindowId) {
  const struct {
    const char* text;
    std::optional<platform::WindowId> host;
  } cases[] = {
      {" 1234", 1234},
      {"1234", 1234},
      {"12 34", 1234},
      {"1234abc", 1234},
      {" 12.5", 12},
      {" 13.5", 14},
      {"", std::nullopt},
      {":1234", std::nullopt},
      {" 0", std::nullopt},
      {" -5", -5},
      {" 2147483647", 2147483647},
      {" 4294967295", -1},
      {" 2147483648", -2147483648LL},
      {" 4294967296", std::nullopt},
      {" -2147483649", std::nullopt},
      {" 99999999999999999999", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParsePreviewHost(c.text), c.host) << '"' << c.text << '"';
}

TEST_F(StartUp, PreviewFillsThePaneFromItsCornerAndActivatesItsOwner) {
  OtherWindow host(backend, "Host pane");
  host.Show();
  backend.SetOwner(host.Id(), 777);
  Start("/p " + std::to_string(host.Id()));
  const auto* window = backend.Windows().back();
  EXPECT_EQ(window->Host, host.Id());
  EXPECT_TRUE(window->Visible);
  const platform::PixelRect pane{0, 0, 320, 240};  // the host's client area
  EXPECT_EQ(window->Bounds, pane);
  ASSERT_EQ(window->Controls.size(), 1u);
  EXPECT_EQ(window->Controls[0]->Properties.Bounds, pane);
  EXPECT_EQ(backend.ActivatedWindow(), 777);
}

TEST_F(StartUp, PreviewFollowsItsPaneWhenItChangesSize) {
  OtherWindow host(backend, "Host pane");
  host.Show();
  Start("/p " + std::to_string(host.Id()));
  const platform::WindowId preview = backend.Windows().back()->Id;
  const forms::Twips pixel = 15;  // at the headless screen's 96 DPI
  host.Move(0, 0, 400 * pixel, 300 * pixel);
  backend.AdvanceTime(500);
  const platform::PixelRect pane{0, 0, 400, 300};
  EXPECT_EQ(backend.Window(preview)->Bounds, pane);
  EXPECT_EQ(backend.Window(preview)->Controls[0]->Properties.Bounds, pane);
}

TEST_F(StartUp, PreviewEndsWithItsHost) {
  auto host = std::make_unique<OtherWindow>(backend, "Host pane");
  host->Show();
  Start("/p " + std::to_string(host->Id()));
  backend.AdvanceTime(2000);
  EXPECT_FALSE(backend.Ended());
  host.reset();  // the host's process is gone without a word to the preview
  backend.AdvanceTime(500);
  EXPECT_TRUE(backend.Ended());
}

TEST_F(StartUp, PreviewUnloadsWhenTheSystemDestroysItsWindow) {
  OtherWindow host(backend, "Host pane");
  host.Show();
  Start("/p " + std::to_string(host.Id()));
  const platform::WindowId preview = backend.Windows().back()->Id;
  backend.DestroyWindow(preview);
  EXPECT_EQ(backend.Window(preview), nullptr);
}

TEST_F(StartUp, TheSaverPlaysWithTheStoredOptions) {
  const struct {
    std::optional<std::string> smooth, everyMonitor;
    RollOptions expected;
  } cases[] = {
      {std::nullopt, std::nullopt, {false, false}},
      {"1", "0", {true, false}},
      {"0", "1", {false, true}},
      {"1", "1", {true, true}},
      {"yes", "", {false, false}},  // only "1" turns an option on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.smooth.value_or("(none)") + " " + c.everyMonitor.value_or("(none)"));
    backend.SettingsStore().Erase("Velloway", "Setting", "SmoothMotion");
    backend.SettingsStore().Erase("Velloway", "Setting", "EveryMonitor");
    if (c.smooth) backend.SettingsStore().Write("Velloway", "Setting", "SmoothMotion", *c.smooth);
    if (c.everyMonitor) {
      backend.SettingsStore().Write("Velloway", "Setting", "EveryMonitor", *c.everyMonitor);
    }
    Start("/s");
    ASSERT_NE(windows.Saver, nullptr);
    EXPECT_EQ(windows.Saver->Options(), c.expected);
    windows.Saver.reset();
  }
}

}  // namespace
}  // namespace velloway
