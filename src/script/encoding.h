#pragma once
#include <string>

#include "script/script_types.h"

namespace velloway {

struct DecodedScript {
  std::string Text;  // UTF-8
  ScriptEncoding Encoding = ScriptEncoding::Utf8;
};

// Turns a script file's bytes into UTF-8 text. A UTF-8 byte-order mark is skipped; UTF-16 LE and
// BE are known by their byte-order mark, or without one by an ASCII first character; bytes that are
// not valid UTF-8 are read in legacyCodePage (the system's ANSI code page, 932 on Japanese
// Windows). Never fails: what cannot be decoded becomes U+FFFD.
DecodedScript DecodeScriptBytes(std::string bytes, unsigned legacyCodePage);

}  // namespace velloway
