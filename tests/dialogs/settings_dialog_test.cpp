#include "dialogs/settings_dialog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "base/program_identity.h"
#include "platform/headless/headless_backend.h"
#include "support/temp_dir.h"

namespace velloway {
namespace {

using namespace identity;

using ::testing::ElementsAre;

class SettingsDialogTest : public ::testing::Test {
 protected:
  SettingsDialogTest() { backend.SetScriptFolder(dir.Utf8()); }

  SettingsDialog& Open() {
    dialog = std::make_unique<SettingsDialog>(backend);
    dialog->Show();
    return *dialog;
  }
  void Store(const std::string& name) {
    backend.SettingsStore().Write(kAppName, kSettingSection, kScriptFileNameKey, name);
  }
  std::optional<std::string> Stored() {
    return backend.SettingsStore().Read(kAppName, kSettingSection, kScriptFileNameKey);
  }
  std::vector<std::string> Entries() const {
    std::vector<std::string> entries;
    for (int i = 0; i < dialog->ScriptList().ListCount(); ++i)
      entries.push_back(dialog->ScriptList().List(i));
    return entries;
  }

  testing::TempDir dir;
  headless::HeadlessBackend backend;
  std::unique_ptr<SettingsDialog> dialog;
};

TEST_F(SettingsDialogTest, ListsTheScriptsAndSelectsTheStoredOneIgnoringCase) {
  for (const char* name : {"Default.vws", "Night.vws", "notes.txt", "Old.vws.bak", "Loud.VWS"})
    dir.Write(name, "");
  std::filesystem::create_directories(dir.Path() / "Folder.vws");
  Store("NIGHT.VWS");
  const SettingsDialog& config = Open();
  EXPECT_THAT(Entries(), ElementsAre("Default.vws", "Loud.VWS", "Night.vws"));
  EXPECT_EQ(config.ScriptList().ListIndex(), 2);
  EXPECT_EQ(config.ScriptList().Text(), "Night.vws");
  backend.PressButton(config.Id(), "&OK");
  EXPECT_EQ(Stored(), "Night.vws");  // with the file name's own case
  EXPECT_FALSE(config.IsLoaded());
}

TEST_F(SettingsDialogTest, PreselectionCases) {
  const struct {
    std::vector<const char*> files;
    std::optional<std::string> stored;
    int selected;
  } cases[] = {
      {{"Default.vws", "Night.vws"}, std::nullopt, 0},  // absent: Default.vws
      {{"Night.vws"}, std::nullopt, -1},
      {{"Night.vws"}, "Gone.vws", -1},
      {{"a.vws", "A.VWS"}, "a.VWS", 0},  // the first in listing order
      {{}, "Default.vws", -1},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(dir.Path());
    std::filesystem::create_directories(dir.Path());
    for (const char* name : c.files) dir.Write(name, "");
    backend.SettingsStore().Erase(kAppName, kSettingSection, kScriptFileNameKey);
    if (c.stored) Store(*c.stored);
    EXPECT_EQ(Open().ScriptList().ListIndex(), c.selected) << c.stored.value_or("(absent)");
  }
}

TEST_F(SettingsDialogTest, OkAndCancel) {
  dir.Write("Day.vws", "");
  dir.Write("Night.vws", "");
  const struct {
    const char* what;
    std::optional<std::string> stored;
    int choose;  // -1: leave the list alone
    bool ok;
    std::optional<std::string> after;
  } cases[] = {
      {"OK after choosing", "Day.vws", 1, true, "Night.vws"},
      {"Enter after choosing", "Day.vws", 1, true, "Night.vws"},
      {"Cancel after choosing", "Day.vws", 1, false, "Day.vws"},
      {"OK untouched keeps the preselection", "DAY.vws", -1, true, "Day.vws"},
      {"OK with nothing selected", "Gone.vws", -1, true, "Default.vws"},
      {"Cancel with nothing stored", std::nullopt, 0, false, std::nullopt},
  };
  for (const auto& c : cases) {
    backend.SettingsStore().Erase(kAppName, kSettingSection, kScriptFileNameKey);
    if (c.stored) Store(*c.stored);
    const SettingsDialog& config = Open();
    if (c.choose >= 0) backend.ChooseListEntry(config.Id(), c.choose);
    if (c.ok) {
      std::string(c.what).starts_with("Enter") ? backend.PressEnter(config.Id())
                                               : backend.PressButton(config.Id(), "&OK");
    } else {
      backend.PressEscape(config.Id());
    }
    EXPECT_EQ(Stored(), c.after) << c.what;
    EXPECT_FALSE(config.IsLoaded()) << c.what;
  }
}

TEST_F(SettingsDialogTest, DialogIsLaidOutInTwipsAtTheScreensDpi) {
  backend.SetScreen({1920, 1080, 144, 144, {}});
  const SettingsDialog& config = Open();
  const auto* window = backend.Window(config.Id());
  EXPECT_EQ(window->Caption, kSettingsCaption);
  EXPECT_EQ(window->Style.Border, platform::BorderStyle::FixedSingle);
  EXPECT_EQ(window->Bounds, (platform::PixelRect{733, 361, 733 + 453, 361 + 357}));  // centred
  ASSERT_EQ(window->Controls.size(), 5u);                                            // in tab order
  const auto& list = window->Controls[0]->Properties;
  EXPECT_EQ(list.Kind, platform::ControlKind::DropDownList);
  EXPECT_EQ(list.Bounds, (platform::PixelRect{180, 185, 180 + 236, 185 + 32}));
  EXPECT_EQ(list.Font.Language, platform::FontLanguage::Japanese);
  EXPECT_EQ(list.ForeColor, 0xFFFFFF);
  EXPECT_EQ(list.BackColor, 0);
  // The option boxes in the list's column, below the buttons, white on the dialog's black.
  const auto& smooth = window->Controls[1]->Properties;
  EXPECT_EQ(smooth.Kind, platform::ControlKind::CheckBox);
  EXPECT_EQ(smooth.Caption, "Smooth motion");
  EXPECT_EQ(smooth.Bounds, (platform::PixelRect{180, 285, 180 + 254, 285 + 29}));
  EXPECT_EQ(smooth.ForeColor, 0xFFFFFF);
  EXPECT_EQ(smooth.BackColor, 0);
  const auto& everyMonitor = window->Controls[2]->Properties;
  EXPECT_EQ(everyMonitor.Kind, platform::ControlKind::CheckBox);
  EXPECT_EQ(everyMonitor.Caption, "Play on every monitor");
  EXPECT_EQ(everyMonitor.Bounds, (platform::PixelRect{180, 317, 180 + 254, 317 + 29}));
  const auto& ok = window->Controls[3]->Properties;
  EXPECT_EQ(ok.Caption, "&OK");
  EXPECT_TRUE(ok.IsDefault);
  EXPECT_EQ(ok.Font.Name, "Times New Roman");
  EXPECT_EQ(ok.Bounds, (platform::PixelRect{242, 231, 242 + 98, 231 + 42}));
  const auto& cancel = window->Controls[4]->Properties;
  EXPECT_EQ(cancel.Caption, "&Cancel");
  EXPECT_TRUE(cancel.IsCancel);
}

TEST_F(SettingsDialogTest, RollOptionsShowWhatIsStoredAndOkStoresTheBoxesAsTheyAreThen) {
  dir.Write("Day.vws", "");
  enum class Close { Ok, Enter, Cancel };
  const std::string smooth = "Smooth motion";
  const std::string every = "Play on every monitor";
  const struct {
    const char* what;
    std::optional<std::string> smoothStored, everyStored;
    bool smoothShown, everyShown;
    std::vector<std::string> toggled;  // boxes the user clicks, in turn
    Close close;
    std::optional<std::string> smoothAfter, everyAfter;
  } cases[] = {
      {"nothing stored: both off",
       std::nullopt,
       std::nullopt,
       false,
       false,
       {},
       Close::Ok,
       "0",
       "0"},
      {"both stored on", "1", "1", true, true, {}, Close::Ok, "1", "1"},
      {"OK after clicking both", "0", "1", false, true, {smooth, every}, Close::Ok, "1", "0"},
      {"Enter after clicking one", "0", "0", false, false, {every}, Close::Enter, "0", "1"},
      {"a box clicked twice", "1", "0", true, false, {smooth, smooth}, Close::Ok, "1", "0"},
      {"Cancel after clicking both",
       "0",
       std::nullopt,
       false,
       false,
       {smooth, every},
       Close::Cancel,
       "0",
       std::nullopt},
      {"values not written by the dialog read as off",
       "yes",
       "2",
       false,
       false,
       {},
       Close::Cancel,
       "yes",
       "2"},
  };
  const auto set = [&](const char* key, const std::optional<std::string>& value) {
    backend.SettingsStore().Erase("Velloway", "Setting", key);
    if (value) backend.SettingsStore().Write("Velloway", "Setting", key, *value);
  };
  const auto stored = [&](const char* key) {
    return backend.SettingsStore().Read("Velloway", "Setting", key);
  };
  for (const auto& c : cases) {
    set("SmoothMotion", c.smoothStored);
    set("EveryMonitor", c.everyStored);
    const SettingsDialog& config = Open();
    EXPECT_EQ(config.SmoothMotionBox().Checked(), c.smoothShown) << c.what;
    EXPECT_EQ(config.EveryMonitorBox().Checked(), c.everyShown) << c.what;
    // The user's clicks change the controls alone: OK reads them at that moment.
    for (const std::string& box : c.toggled) backend.ToggleCheckBox(config.Id(), box);
    switch (c.close) {
      case Close::Ok:
        backend.PressButton(config.Id(), "&OK");
        break;
      case Close::Enter:
        backend.PressEnter(config.Id());
        break;
      case Close::Cancel:
        backend.PressEscape(config.Id());
        break;
    }
    EXPECT_EQ(stored("SmoothMotion"), c.smoothAfter) << c.what;
    EXPECT_EQ(stored("EveryMonitor"), c.everyAfter) << c.what;
    EXPECT_FALSE(config.IsLoaded()) << c.what;
  }
}

TEST_F(SettingsDialogTest, ShowsTheVersion) {
  EXPECT_EQ(Open().Version().Caption(), "ver.1.00a");
}

TEST(DialogVersionText, LetterAndDigitFollowTheRevision) {
  const struct {
    std::int16_t minor, revision;
    const char* text;
  } cases[] = {{0, 999, "ver.1.00"},    {0, 1000, "ver.1.00a"},  {0, 1099, "ver.1.00a"},
               {0, 1100, "ver.1.00a1"}, {0, 2345, "ver.1.00b3"}, {5, 0, "ver.1.05"},
               {0, 9999, "ver.1.00i9"}, {12, 0, "ver.1.12"}};
  for (const auto& c : cases)
    EXPECT_EQ(DialogVersionText(1, c.minor, c.revision), c.text) << c.revision;
}

}  // namespace
}  // namespace velloway
