#pragma once
#include <string>

#include "platform/headless/headless_backend.h"
#include "script_checks.h"

namespace velloway::check {

// What this machine can tell the checks: installed fonts (Windows only) and music files.
CheckEnvironment MachineEnvironment(std::string programDirectory);

// How the timeline measures lines without --line-height: the real fonts on Windows, the
// headless backend's metrics elsewhere (an unset function).
headless::HeadlessBackend::TextMetrics MachineTextMetrics();

}  // namespace velloway::check
