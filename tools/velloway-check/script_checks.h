#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "script/script_types.h"

namespace velloway::check {

// What the checks may ask of the machine the script will play on.
struct CheckEnvironment {
  // The directory the saver would read the script from: relative music files lie there.
  std::string ProgramDirectory;
  // Whether a font face is installed; unset where that cannot be known.
  std::function<bool(std::string_view face)> FontInstalled;
  // Whether a music file exists, by the path the saver would open; unset: not checked.
  std::function<bool(std::string_view path)> MusicFileExists;
};

// What a loaded script does that would surprise its writer, beyond the loader's own
// diagnostics: a missing header, unknown commands, malformed colours and numbers, clamped sizes,
// missing fonts and music files, a script without records.
std::vector<ScriptDiagnostic> CheckScript(const LoadedScript& script,
                                          const CheckEnvironment& environment);

}  // namespace velloway::check
