#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/environment.h"
#include "script/script_types.h"

namespace velloway {

// Scripts larger than this are refused rather than read into memory.
inline constexpr std::size_t kMaxScriptBytes = 256u * 1024u * 1024u;

// Whether a file of `bytes` is refused as a script: one of exactly kMaxScriptBytes is read.
constexpr bool IsTooLargeForAScript(std::uintmax_t bytes) {
  return bytes > kMaxScriptBytes;
}

// Reads a script's decoded UTF-8 text, which the script keeps: header lines, comments, empty lines
// and records. Lines end at CR LF, a lone LF or a lone CR; a last line without a line end is read
// like the others. Broken limits never stop the reading: each yields a diagnostic with its line
// number (the first 10,000 of them). The text must be shorter than 4 GB.
LoadedScript ParseScript(std::string text);

// Decodes a script's raw bytes (see DecodeScriptBytes) and parses them.
LoadedScript LoadScriptBytes(std::string bytes, unsigned legacyCodePage);

// Reads a script file by its UTF-8 path. A missing, unreadable or oversized file gives no records,
// the default header and a Failure saying which file and why.
LoadedScript LoadScriptFile(const std::string& path, unsigned legacyCodePage);

// The script chosen in the settings: fileName (the stored setting, "Default.vws" when absent) in
// the script folder, joined as the platform reads names. An empty name is a Failure, like a
// missing file.
LoadedScript LoadChosenScript(std::string_view scriptFolder, std::string_view fileName,
                              unsigned legacyCodePage, platform::ScriptFileNames names);

// The script folder, one separator and the name, joined as they stand. The separator is the
// backslash for Windows' names and the slash for POSIX ones.
std::string ScriptFilePath(std::string_view scriptFolder, std::string_view fileName,
                           platform::ScriptFileNames names);

}  // namespace velloway
