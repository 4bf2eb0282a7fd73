#pragma once
// The two ways a user may have the roll shown, chosen in the settings dialog (or, on a platform
// without one, on the command line). Both off, the roll shows as it always has.
#include "platform/forms.h"

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

}  // namespace velloway
