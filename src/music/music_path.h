#pragma once
#include <string>
#include <string_view>

namespace velloway {

// The file a BGM record's music name stands for: a name holding ":\" is a full path; any other
// is joined to the program's folder with a backslash, even one that begins with separators.
std::string MusicFilePath(std::string_view programDir, std::string_view name);

// Whether a music path names a network location, which the saver never opens: opening it would
// make Windows connect to another machine and offer it the user's credentials. That is a path
// that begins with two separators (either slash): UNC, "\\?\UNC\...", "\\.\..." and the like,
// except the local device forms of a drive letter ("\\?\C:\...", "\\.\C:\..."). A drive letter
// mapped to a network share is the user's own choice and counts as local.
bool NamesNetworkLocation(std::string_view path);

}  // namespace velloway
