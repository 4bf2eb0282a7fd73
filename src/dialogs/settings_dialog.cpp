#include "dialogs/settings_dialog.h"

#include <cstdio>

#include "base/program_identity.h"
#include "base/utf8.h"
#include "roll/roll_options.h"

namespace velloway {
namespace {

// ＭＳ Ｐゴシック
constexpr const char* kGothic =
    "\xEF\xBC\xAD\xEF\xBC\xB3 \xEF\xBC\xB0\xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF";

platform::FontSpec Gothic(float size, bool bold) {
  return {kGothic, size, bold, false, platform::FontLanguage::Japanese};
}

platform::FontSpec Times(float size, bool bold = false, bool italic = false) {
  return {"Times New Roman", size, bold, italic, platform::FontLanguage::Western};
}

forms::FormDesign DialogDesign() {
  forms::FormDesign design;
  design.Caption = identity::kSettingsCaption;
  design.Border = platform::BorderStyle::FixedSingle;
  design.StartUp = forms::StartUpPosition::CenterScreen;
  design.BackColor = kBlack;
  design.Width = 4530;
  design.Height = 3570;  // room for the roll options below the buttons
  return design;
}

// A label or a control at its place in twips, with its text and font.
template <typename Design>
Design Placed(forms::Twips left, forms::Twips top, forms::Twips width, forms::Twips height,
              std::string caption, platform::FontSpec font) {
  Design design;
  design.Left = left;
  design.Top = top;
  design.Width = width;
  design.Height = height;
  design.Caption = std::move(caption);
  design.Font = std::move(font);
  return design;
}

forms::LabelDesign WhiteLabel(forms::Twips left, forms::Twips top, forms::Twips width,
                              forms::Twips height, std::string caption, platform::FontSpec font) {
  auto design =
      Placed<forms::LabelDesign>(left, top, width, height, std::move(caption), std::move(font));
  design.ForeColor = kWhite;
  return design;
}

forms::LabelDesign Centred(forms::LabelDesign design, bool autoSize) {
  design.TextAlignment = forms::Alignment::Center;
  design.AutoSize = autoSize;
  return design;
}

forms::ControlDesign ScriptListDesign() {
  forms::ControlDesign design =
      Placed<forms::ControlDesign>(1800, 1845, 2355, 315, "", Gothic(9.75f, true));
  design.ForeColor = kWhite;
  design.BackColor = kBlack;
  return design;
}

// A roll option's box in the script list's column, below the buttons; wide enough for its
// caption to the dialog's right margin.
forms::ControlDesign OptionBox(forms::Twips top, std::string caption) {
  forms::ControlDesign design =
      Placed<forms::ControlDesign>(1800, top, 2535, 285, std::move(caption), Times(11.25f));
  design.ForeColor = kWhite;
  design.BackColor = kBlack;
  return design;
}

forms::ControlDesign Button(forms::Twips left, std::string caption, bool isDefault) {
  forms::ControlDesign design =
      Placed<forms::ControlDesign>(left, 2310, 975, 420, std::move(caption), Times(11.25f, true));
  design.IsDefault = isDefault;
  design.IsCancel = !isDefault;
  return design;
}

}  // namespace

std::string DialogVersionText(std::int16_t major, std::int16_t minor, std::int16_t revision) {
  char text[32];
  std::snprintf(text, sizeof text, "ver.%d.%02d", major, minor);
  std::string version = text;
  if (revision > 999) {
    version += static_cast<char>(96 + revision / 1000);
    if (revision % 1000 > 99) version += static_cast<char>('0' + revision % 1000 / 100);
  }
  return version;
}

SettingsDialog::SettingsDialog(platform::Backend& backend)
    : forms::Form(backend, DialogDesign()),
      title_(*this,
             [] {
               forms::LabelDesign design =
                   WhiteLabel(1268, 240, 1995, 345, std::string(identity::kAppName), Times(15.75f));
               design.AutoSize = true;
               return design;
             }()),
      version_(*this, Centred(WhiteLabel(1425, 675, 1680, 300, "", Times(12, true)), false)),
      notice_(*this,
              Centred(WhiteLabel(195, 1290, 4140, 255, "Lines of your own, rising in the dark.",
                                 Times(11.25f, false, true)),
                      true)),
      listCaption_(
          *this,
          WhiteLabel(195, 1890, 1545, 195,
                     "\xE3\x82\xB9\xE3\x82\xAF\xE3\x83\xAA\xE3\x83\x97\xE3\x83\x88"
                     "\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB",  // スクリプトファイル
                     Gothic(9.75f, true))),
      scriptList_(*this, ScriptListDesign()),
      smoothMotionBox_(*this, OptionBox(2850, "Smooth motion")),
      everyMonitorBox_(*this, OptionBox(3165, "Play on every monitor")),
      okButton_(*this, Button(2415, "&OK", true), [this] { OnOk(); }),
      cancelButton_(*this, Button(3465, "&Cancel", false), [this] { OnCancel(); }) {}

void SettingsDialog::OnLoad() {
  ListScripts();
  ShowRollOptions();
  version_.SetCaption(DialogVersionText(App().Major(), App().Minor(), App().Revision()));
}

void SettingsDialog::ListScripts() {
  for (std::string& name : Platform().ListFiles(Platform().ScriptFolder(), "*.vws"))
    scriptList_.AddItem(std::move(name));
  const std::string chosen =
      App().GetSetting(identity::kAppName, identity::kSettingSection, identity::kScriptFileNameKey,
                       identity::kDefaultScript);
  for (int i = 0; i < scriptList_.ListCount(); ++i) {
    if (utf8::EqualsIgnoringCase(scriptList_.List(i), chosen)) {
      scriptList_.SetListIndex(i);
      break;
    }
  }
}

void SettingsDialog::ShowRollOptions() {
  const RollOptions options = ReadRollOptions(App());
  smoothMotionBox_.SetChecked(options.SmoothMotion);
  everyMonitorBox_.SetChecked(options.EveryMonitor);
}

void SettingsDialog::OnOk() {
  const bool nothingChosen = scriptList_.Text().empty() || scriptList_.ListIndex() == -1;
  const std::string value =
      nothingChosen ? std::string(identity::kDefaultScript) : scriptList_.Text();
  App().SaveSetting(identity::kAppName, identity::kSettingSection, identity::kScriptFileNameKey,
                    value);
  SaveRollOptions(App(), {smoothMotionBox_.Checked(), everyMonitorBox_.Checked()});
  Unload();
}

void SettingsDialog::OnCancel() {
  Unload();
}

}  // namespace velloway
