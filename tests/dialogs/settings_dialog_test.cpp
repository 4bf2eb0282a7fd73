#include "dialogs/settings_dialog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "identity/program_identity.h"
#include "platform/headless/headless_backend.h"
#include "support/temp_dir.h"

namespace velloway {
namespace {

using namespace identity;

using ::testing::ElementsAre;

class SettingsDialogTest : public ::testing::Test {
 protected:
  SettingsDialogTest() { backend.SetAppPath(dir.Utf8()); }

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
  EXPECT_EQ(window->Style.Border, forms::BorderStyle::FixedSingle);
  EXPECT_EQ(window->Bounds, (forms::PixelRect{733, 397, 733 + 453, 397 + 285}));  // centred
  ASSERT_EQ(window->Controls.size(), 3u);                                         // in tab order
  const auto& list = window->Controls[0]->Properties;
  EXPECT_EQ(list.Kind, forms::ControlKind::DropDownList);
  EXPECT_EQ(list.Bounds, (forms::PixelRect{180, 185, 180 + 236, 185 + 32}));
  EXPECT_EQ(list.Font.Charset, forms::kShiftJisCharset);
  EXPECT_EQ(list.ForeColor, 0xFFFFFF);
  EXPECT_EQ(list.BackColor, 0);
  const auto& ok = window->Controls[1]->Properties;
  EXPECT_EQ(ok.Caption, "&OK");
  EXPECT_TRUE(ok.IsDefault);
  EXPECT_EQ(ok.Font.Name, "Times New Roman");
  const auto& cancel = window->Controls[2]->Properties;
  EXPECT_EQ(cancel.Caption, "&Cancel");
  EXPECT_TRUE(cancel.IsCancel);
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
