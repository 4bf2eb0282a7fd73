#pragma once
// What the program finds around it: the scripts' folder and its files, the settings store, and
// how the platform reads a script's text and the file names it holds.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velloway::platform {

// The per-user settings store: text values by application, section and key.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  virtual std::optional<std::string> Read(std::string_view app, std::string_view section,
                                          std::string_view key) = 0;
  // Returns false when the value could not be written.
  virtual bool Write(std::string_view app, std::string_view section, std::string_view key,
                     std::string_view value) = 0;
};

// How the file names a script holds (music names, written on Windows) are read on a platform:
// see music/music_path.h.
enum class ScriptFileNames { Windows, Posix };

class Environment {
 public:
  virtual ~Environment() = default;
  // The folder the scripts are chosen from and their relative music names are looked up in,
  // without a trailing separator.
  virtual std::string ScriptFolder() = 0;
  // The names of the normal files (no folders, hidden or system files) in `directory` whose names
  // match `pattern` ("*.vws"), in the platform's listing order.
  virtual std::vector<std::string> ListFiles(std::string_view directory,
                                             std::string_view pattern) = 0;
  virtual SettingsStore& Settings() = 0;
  // How this platform reads the file names a script holds.
  virtual ScriptFileNames FileNames() = 0;
  // The legacy code page a script without a byte-order mark or UTF-8 text is read in, as the
  // system or the user decides it (932 for Shift-JIS, 1252 for Western European).
  virtual unsigned ScriptCodePage() = 0;
};

}  // namespace velloway::platform
