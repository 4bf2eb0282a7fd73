#pragma once
#include <optional>
#include <string>

#include "script/script_types.h"
#include "timeline.h"

namespace velloway::check {

// Exit statuses: the script is clean, it has diagnostics, it cannot be read.
inline constexpr int kClean = 0;
inline constexpr int kHasDiagnostics = 1;
inline constexpr int kUnreadable = 2;

int ExitStatus(const LoadedScript& script);

// "FILE:LINE: severity: message" lines, or "FILE: error: reason" when the file was not read.
std::string DiagnosticLines(const std::string& file, const LoadedScript& script);

// What keeps the script from playing first, worded as DiagnosticLines words it (without the line
// end): why it could not be read, else the first of its PlayingErrors; nothing when it plays.
std::optional<std::string> FirstPlayingError(const std::string& file, const LoadedScript& script);

// The header and the records exactly as loaded, as one JSON object.
std::string ScriptJson(const std::string& file, const LoadedScript& script);

// The timeline as a table: tick, seconds, record and command per line, then the loop's length.
std::string TimelineText(const Timeline& timeline);

// The same as JSON: {"timeline": [{"tick", "seconds", "record", "command"}...], "loop": {...}}.
std::string TimelineJson(const Timeline& timeline);

}  // namespace velloway::check
