#include "dialogs/frmConfig.h"

#include <cstdio>

#include "script/normalise.h"

namespace velloway {
namespace {

constexpr forms::Color kBlack = 0;
constexpr forms::Color kWhite = 16777215;
constexpr const char* kGothic =
    "\xEF\xBC\xAD\xEF\xBC\xB3 \xEF\xBC\xB0\xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF";  // ＭＳ
                                                                                              // Ｐゴシック
constexpr const char* kDefaultScript = "Default.vws";

forms::FontSpec Gothic(float size, bool bold) {
  return {kGothic, size, bold, false, forms::kShiftJisCharset};
}

forms::FontSpec Times(float size, bool bold = false, bool italic = false) {
  return {"Times New Roman", size, bold, italic, forms::kAnsiCharset};
}

forms::FormDesign DialogDesign() {
  forms::FormDesign design;
  design.Caption = "CONFIG -+- Velloway";
  design.Border = forms::BorderStyle::FixedSingle;
  design.StartUp = forms::StartUpPosition::CenterScreen;
  design.BackColor = kBlack;
  design.Width = 4530;
  design.Height = 2850;
  return design;
}

// A label or a control at its place in twips, with its text and font.
template <typename Design>
Design Placed(forms::Twips left, forms::Twips top, forms::Twips width, forms::Twips height,
              std::string caption, forms::FontSpec font) {
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
                              forms::Twips height, std::string caption, forms::FontSpec font) {
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

forms::ControlDesign ScriptList() {
  forms::ControlDesign design =
      Placed<forms::ControlDesign>(1800, 1845, 2355, 315, "", Gothic(9.75f, true));
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

std::string ConfigVersionText(std::int16_t major, std::int16_t minor, std::int16_t revision) {
  char text[32];
  std::snprintf(text, sizeof text, "ver.%d.%02d", major, minor);
  std::string version = text;
  if (revision > 999) {
    version += static_cast<char>(96 + revision / 1000);
    if (revision % 1000 > 99) version += static_cast<char>('0' + revision % 1000 / 100);
  }
  return version;
}

frmConfig::frmConfig(forms::Backend& backend)
    : forms::Form(backend, DialogDesign()),
      Label2(*this,
             [] {
               forms::LabelDesign design =
                   WhiteLabel(1268, 240, 1995, 345, "Velloway", Times(15.75f));
               design.AutoSize = true;
               return design;
             }()),
      labVer(*this, Centred(WhiteLabel(1425, 675, 1680, 300, "", Times(12, true)), false)),
      Label4(*this,
             Centred(WhiteLabel(195, 1290, 4140, 255, "Lines of your own, rising in the dark.",
                                Times(11.25f, false, true)),
                     true)),
      Label1(*this,
             WhiteLabel(195, 1890, 1545, 195,
                        "\xE3\x82\xB9\xE3\x82\xAF\xE3\x83\xAA\xE3\x83\x97\xE3\x83\x88"
                        "\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB",  // スクリプトファイル
                        Gothic(9.75f, true))),
      cboScript(*this, ScriptList()),
      cmdOK(*this, Button(2415, "&OK", true), [this] { cmdOK_Click(); }),
      cmdCancel(*this, Button(3465, "&Cancel", false), [this] { cmdCancel_Click(); }) {}

void frmConfig::Form_Load() {
  ListScripts();
  labVer.SetCaption(ConfigVersionText(App().Major(), App().Minor(), App().Revision()));
}

void frmConfig::ListScripts() {
  for (std::string& name : Platform().ListFiles(App().Path(), "*.vws"))
    cboScript.AddItem(std::move(name));
  const std::string chosen =
      App().GetSetting("Velloway", "Setting", "ScriptFileName", kDefaultScript);
  for (int i = 0; i < cboScript.ListCount(); ++i) {
    if (EqualsIgnoringCase(cboScript.List(i), chosen)) {
      cboScript.SetListIndex(i);
      break;
    }
  }
}

void frmConfig::cmdOK_Click() {
  const bool nothingChosen = cboScript.Text().empty() || cboScript.ListIndex() == -1;
  const std::string value = nothingChosen ? kDefaultScript : cboScript.Text();
  App().SaveSetting("Velloway", "Setting", "ScriptFileName", value);
  Unload();
}

void frmConfig::cmdCancel_Click() {
  Unload();
}

}  // namespace velloway
