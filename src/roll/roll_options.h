#pragma once
// What a user chooses for the roll, in the settings dialog (or, on a platform without one, on the
// command line): the two ways it may be shown, both off as it always has been, and the script.
#include "forms/application.h"
#include "script/script_types.h"

namespace velloway {

struct RollOptions {
  // Frames at the display's refresh rate move the lines evenly between the roll's ticks.
  bool SmoothMotion = false;
  // Every monitor shows the roll, instead of the background colour on all but the primary one.
  bool EveryMonitor = false;
  bool operator==(const RollOptions&) const = default;
};

// As stored with the script choice: "1" on; "0", anything else or nothing, off.
RollOptions ReadRollOptions(const forms::Application& app);
void SaveRollOptions(const forms::Application& app, const RollOptions& options);

// The script chosen with them, read once as the program starts: the name stored in app's
// settings (the default script when none is stored) in the environment's script folder, in the
// code page scripts are read in.
LoadedScript ReadChosenScript(const forms::Application& app, platform::Environment& environment);

}  // namespace velloway
