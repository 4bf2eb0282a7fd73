#pragma once
#include <cstdint>
#include <string>

#include "forms/controls.h"
#include "forms/label.h"

namespace velloway {

// The version as the settings dialog shows it: "ver.1.00a" for 1, 0, 1000.
std::string DialogVersionText(std::int16_t major, std::int16_t minor, std::int16_t revision);

// The settings dialog: lists the scripts of the script folder, preselects the stored
// choice, shows the stored roll options, and stores the user's choices on OK.
class SettingsDialog : public forms::Form {
 public:
  explicit SettingsDialog(platform::Backend& backend);

  const forms::ComboBox& ScriptList() const { return scriptList_; }
  const forms::CheckBox& SmoothMotionBox() const { return smoothMotionBox_; }
  const forms::CheckBox& EveryMonitorBox() const { return everyMonitorBox_; }
  const forms::Label& Version() const { return version_; }

 protected:
  void OnLoad() override;

 private:
  void ListScripts();
  void ShowRollOptions();
  void OnOk();
  void OnCancel();

  forms::Label title_;
  forms::Label version_;
  forms::Label notice_;
  forms::Label listCaption_;    // the script list's caption
  forms::ComboBox scriptList_;  // the controls in tab order
  forms::CheckBox smoothMotionBox_;
  forms::CheckBox everyMonitorBox_;
  forms::CommandButton okButton_;
  forms::CommandButton cancelButton_;
};

}  // namespace velloway
