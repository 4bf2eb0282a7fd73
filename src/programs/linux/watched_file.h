#pragma once
// A look at the file a watched script's name leads to, for ScriptWatch.
#include <string>

#include "roll/script_watch.h"

namespace velloway::linux {

// What the name leads to now; a name that leads nowhere shows a missing file. Never opens the
// file: a pipe or a device under the name is looked at as safely as any file.
WatchedFileState LookAtFile(const std::string& path);

}  // namespace velloway::linux
