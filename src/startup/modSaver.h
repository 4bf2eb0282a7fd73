#pragma once
#include <memory>
#include <string_view>

#include "platform/backend.h"

namespace velloway {

class frmMain;

// The program's windows. They live as long as the program runs; the platform's entry point owns
// this object and runs the message loop after Main has returned.
struct ProgramWindows {
  ProgramWindows();
  ~ProgramWindows();
  std::unique_ptr<frmMain> Saver;
};

// The program's start: reads the switch from argumentText (the command line without the
// program's path) and opens the window it asks for.
void Main(forms::Backend& backend, std::string_view argumentText, ProgramWindows& windows);

}  // namespace velloway
