#pragma once
#include <string>

#include "platform/headless/headless_backend.h"
#include "script_checks.h"

namespace velloway::check {

// What this machine can tell the checks: installed fonts and the characters they show (through
// fontconfig on Linux, GDI on Windows) and music files, named as the saver of this machine reads
// them.
CheckEnvironment MachineEnvironment(std::string scriptFolder);

// How the timeline measures lines without --line-height: as the saver of this machine does on a
// screen of dpiY, with the real fonts (through GDI on Windows, Pango on Linux).
headless::HeadlessBackend::TextMetrics MachineTextMetrics(int dpiY);

}  // namespace velloway::check
