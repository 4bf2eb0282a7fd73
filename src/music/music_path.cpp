#include "music/music_path.h"

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

std::string MusicFilePath(std::string_view programDir, std::string_view name) {
  if (name.find(":\\") != std::string_view::npos) return std::string(name);
  std::string path;
  path.reserve(programDir.size() + 1 + name.size());
  path.append(programDir).push_back('\\');
  path.append(name);
  return path;
}

bool NamesNetworkLocation(std::string_view path) {
  const bool twoSeparators = path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
  return twoSeparators && !IsLocalDriveDevice(path);
}

}  // namespace velloway
