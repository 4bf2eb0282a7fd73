#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/code_point_set.h"
#include "platform/device_file.h"
#include "platform/environment.h"
#include "script/script_types.h"

namespace velloway::check {

// A font face as this machine has it.
struct FontLookup {
  bool Installed = false;
  // The face this machine shows in place of one that is not installed; empty when unknown.
  std::string ShownIn;
};

// What the checks may ask of the machine the script will play on.
struct CheckEnvironment {
  // The directory the saver would read the script from: relative music files lie there.
  std::string ScriptFolder;
  // How the saver of this machine reads the music names.
  platform::ScriptFileNames FileNames = platform::ScriptFileNames::Windows;
  // Whether a font face is installed and, if not, the face shown in its place; unset where that
  // cannot be known.
  std::function<FontLookup(std::string_view face)> FindFont;
  // The characters some installed face shows: text falls back through every face for the
  // characters its own lacks. Asked once, at the first line of text; unset where that cannot be
  // known.
  std::function<CodePointSet()> InstalledCharacters;
  // What a music file is, by the path the saver would open (only a regular file is played);
  // unset: not checked.
  std::function<platform::FileKind(std::string_view path)> MusicFileKind;
};

// What keeps a loaded script's roll from playing, as errors: no header line (speed 0), SpeedIndex
// 0, no records.
std::vector<ScriptDiagnostic> PlayingErrors(const LoadedScript& script);

// What a loaded script does that would surprise its writer, beyond the loader's own
// diagnostics: its PlayingErrors first, then as warnings unknown commands, malformed colours
// and numbers, clamped sizes, missing fonts, characters no installed font shows, missing music
// files.
std::vector<ScriptDiagnostic> CheckScript(const LoadedScript& script,
                                          const CheckEnvironment& environment);

}  // namespace velloway::check
