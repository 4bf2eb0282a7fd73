#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "platform/environment.h"

namespace velloway {

// The file a BGM record's music name stands for. Read as Windows does: a name holding ":\" is a
// full path; any other is joined to the script folder with a backslash, even one that begins
// with separators. Read on a POSIX system: a name holding ":\" names a Windows drive and cannot
// be played (nothing); any other is joined to the folder with a slash, its backslashes read as
// folder separators.
std::optional<std::string> MusicFilePath(std::string_view scriptFolder, std::string_view name,
                                         platform::ScriptFileNames names);

// Whether a music path names a network location, which the saver never opens: opening it would
// make Windows connect to another machine and offer it the user's credentials. That is a path
// that begins with two separators (either slash): UNC, "\\?\UNC\...", "\\.\..." and the like,
// except the local device forms of a drive letter ("\\?\C:\...", "\\.\C:\..."). A drive letter
// mapped to a network share is the user's own choice and counts as local.
bool NamesNetworkLocation(std::string_view path);

}  // namespace velloway
