#pragma once
#include <string>

#include "platform/headless/headless_backend.h"
#include "script_checks.h"

namespace velloway::check {

// What this machine can tell the checks: installed fonts and the characters they show (through
// fontconfig on Linux, GDI on Windows) and music files, named as the saver of this machine reads
// them.
CheckEnvironment MachineEnvironment(std::string scriptFolder);

// How the timeline measures lines without --line-height: the real fonts on Windows, the
// headless backend's metrics elsewhere (an unset function).
headless::HeadlessBackend::TextMetrics MachineTextMetrics();

}  // namespace velloway::check
