#pragma once
#include <cstdint>
#include <string>

#include "platform/forms.h"

namespace velloway {

// The version as the settings dialog shows it: "ver.1.00a" for 1, 0, 1000.
std::string ConfigVersionText(std::int16_t major, std::int16_t minor, std::int16_t revision);

// The settings dialog: lists the scripts of the program's directory, preselects the stored
// choice, and stores the user's choice on OK.
class frmConfig : public forms::Form {
 public:
  explicit frmConfig(forms::Backend& backend);

  const forms::ComboBox& Scripts() const { return cboScript; }
  const forms::Label& Version() const { return labVer; }

 protected:
  void Form_Load() override;

 private:
  void ListScripts();
  void cmdOK_Click();
  void cmdCancel_Click();

  forms::Label Label2;
  forms::Label labVer;
  forms::Label Label4;
  forms::Label Label1;
  forms::ComboBox cboScript;  // the controls in tab order
  forms::CommandButton cmdOK;
  forms::CommandButton cmdCancel;
};

}  // namespace velloway
