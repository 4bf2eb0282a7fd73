#include "startup/modSaver.h"

#include <string>

#include "roll/frmMain.h"

namespace velloway {

ProgramWindows::ProgramWindows() = default;
ProgramWindows::~ProgramWindows() = default;

void Main(forms::Backend& backend, std::string_view argumentText, ProgramWindows& windows) {
  const std::string_view sw = argumentText.substr(0, 2);
  if (sw == "/s" || sw == "/S") {
    windows.Saver = std::make_unique<frmMain>(backend);
    windows.Saver->Show();
  }
}

}  // namespace velloway
