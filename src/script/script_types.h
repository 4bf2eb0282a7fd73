#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velloway {

// The header line's four values; these defaults stay in force when a script has no header line.
struct ScriptHeader {
  std::int16_t BaseFontSize = 0;
  std::int16_t SpeedIndex = 0;
  std::string AlignMode;      // normalised: "LEFT", "MID", "RIGHT" or anything a writer put there
  std::string BackColorText;  // exactly as written, RRGGBB
};

// One record line. Param(1)..Param(5) hold fields 2..6 exactly as written; Param(0) exists for
// the numbering only and is always empty, so it takes no storage.
class RollRecord {
 public:
  static constexpr int kMaxParam = 5;

  std::string Command;          // normalised
  std::int32_t SourceLine = 0;  // line of the script file, for messages

  const std::string& Param(int index) const;
  void SetParam(int index, std::string text);

 private:
  std::array<std::string, kMaxParam> params_;
};

enum class Severity { Warning, Error };

// A limit of the format that a script broke, and how the loader carried on.
struct ScriptDiagnostic {
  std::int32_t Line = 0;
  Severity Level = Severity::Warning;
  std::string Message;
};

// Why no script could be read at all.
struct ScriptReadFailure {
  std::string Path;
  std::string Reason;
};

// Which text encoding the script's bytes were read in.
enum class ScriptEncoding { Utf8, Utf8WithBom, Utf16LE, Utf16BE, LegacyCodePage };

// A loaded script: its header, its records numbered from 1 and what the loader noticed.
struct LoadedScript {
  ScriptHeader Header;
  std::int32_t HeaderLine = 0;  // the line of the header in force; 0 without a header line
  std::vector<RollRecord> Records;
  std::vector<ScriptDiagnostic> Diagnostics;
  std::optional<ScriptReadFailure> Failure;
  ScriptEncoding Encoding = ScriptEncoding::Utf8;

  std::int32_t RecordCount() const { return static_cast<std::int32_t>(Records.size()); }
  // index is 1-based, as scripts and the roll number their records.
  const RollRecord& Record(std::int32_t index) const {
    return Records[static_cast<std::size_t>(index - 1)];
  }
};

}  // namespace velloway
