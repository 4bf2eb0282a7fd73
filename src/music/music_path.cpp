#include "music/music_path.h"

#include <algorithm>

#include "script/script_loader.h"

namespace velloway {
namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

bool IsDriveLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// "\\?\C:" or "\\.\C:", with either slash: a drive of this machine under its device name.
bool IsLocalDriveDevice(std::string_view path) {
  return path.size() >= 6 && (path[2] == '?' || path[2] == '.') && IsSeparator(path[3]) &&
         IsDriveLetter(path[4]) && path[5] == ':';
}

}  // namespace

std::optional<std::string> MusicFilePath(std::string_view scriptFolder, std::string_view name,
                                         platform::ScriptFileNames names) {
  const bool windows = names == platform::ScriptFileNames::Windows;
  if (name.find(":\\") != std::string_view::npos) {
    if (!windows) return std::nullopt;
    return std::string(name);
  }
  // Beside the script, as the script's own file is found in its folder.
  std::string path = ScriptFilePath(scriptFolder, name, names);
  if (!windows) {
    std::replace(path.end() - static_cast<std::ptrdiff_t>(name.size()), path.end(), '\\', '/');
  }
  return path;
}

bool NamesNetworkLocation(std::string_view path) {
  const bool twoSeparators = path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
  return twoSeparators && !IsLocalDriveDevice(path);
}

}  // namespace velloway
