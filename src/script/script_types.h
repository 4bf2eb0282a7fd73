#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velloway {

// Where a line stands across the screen: its left edge at a quarter of the width, centred, or
// its right edge at three quarters; any other mode leaves each label where it stood.
enum class LineAlignment : std::uint8_t { Left, Centre, Right, Other };

// The mode an AlignMode names, as the loader keeps it (normalised): "LEFT", "MID" or "RIGHT".
LineAlignment ReadAlignment(std::string_view alignMode);

// The header line's four values; these defaults stay in force when a script has no header line.
struct ScriptHeader {
  std::int16_t BaseFontSize = 0;
  std::int16_t SpeedIndex = 0;
  std::string AlignMode;      // normalised: "LEFT", "MID", "RIGHT" or anything a writer put there
  std::string BackColorText;  // exactly as written, RRGGBB
  LineAlignment Alignment = LineAlignment::Other;  // AlignMode, read once
};

// The commands the roll knows; it skips any other.
enum class RecordCommand : std::uint8_t { Text, Clear, Wait, Bgm, Other };

// A command word as the loader reads it: in any letter case and in full-width letters.
RecordCommand ReadCommand(std::string_view word);

// One record line, a light view into its script's text: valid while the script lives. Its command
// was read when the script was loaded; its parameters are found when asked: Param(1)..Param(5)
// are fields 2..6 exactly as written, Param(0) exists for the numbering only and is always empty.
class RollRecord {
 public:
  static constexpr int kMaxParam = 5;

  // line: the record's line; whatever follows its line end (CR or LF) is not read.
  RollRecord(std::string_view line, RecordCommand command) : line_(line), command_(command) {}

  RecordCommand Command() const { return command_; }
  // The command word normalised, as messages name it: "TEXT", "MISSPELT"; a long one cut as
  // Excerpt cuts it.
  std::string CommandText() const;
  std::string_view Param(int index) const;
  // Param(1)..Param(kMaxParam) found in one pass over the line: Params()[i - 1] is Param(i).
  std::array<std::string_view, kMaxParam> Params() const;

 private:
  std::string_view line_;
  RecordCommand command_;
};

enum class Severity { Warning, Error };

// A limit of the format that a script broke, and how the loader carried on.
struct ScriptDiagnostic {
  std::int32_t Line = 0;
  Severity Level = Severity::Warning;
  std::string Message;
};

// A list of diagnostics keeps the first kMaxDiagnostics, then one saying that more follow: a
// script of many broken lines would otherwise take many times its size in messages, and no
// writer reads that far.
inline constexpr std::size_t kMaxDiagnostics = 10'000;

// Whether the list is full: what follows is not kept.
inline bool DiagnosticsFull(const std::vector<ScriptDiagnostic>& list) {
  return list.size() > kMaxDiagnostics;
}

// Adds a warning to the list, or the note that more follow, or nothing once it is full.
void AddWarning(std::vector<ScriptDiagnostic>& list, std::int32_t line, std::string message);

// Why no script could be read at all.
struct ScriptReadFailure {
  std::string Path;
  std::string Reason;
};

// Which text encoding the script's bytes were read in.
enum class ScriptEncoding { Utf8, Utf8WithBom, Utf16LE, Utf16BE, LegacyCodePage };

// A loaded script: its header, its records numbered from 1 and what the loader noticed. It keeps
// its decoded text once; a record costs the offset of its line in that text and its command.
class LoadedScript {
 public:
  ScriptHeader Header;
  std::int32_t HeaderLine = 0;  // the line of the header in force; 0 without a header line
  std::vector<ScriptDiagnostic> Diagnostics;
  std::optional<ScriptReadFailure> Failure;
  ScriptEncoding Encoding = ScriptEncoding::Utf8;

  std::int32_t RecordCount() const { return static_cast<std::int32_t>(recordStarts_.size()); }
  // index is 1-based, as scripts and the roll number their records.
  RollRecord Record(std::int32_t index) const {
    const auto i = static_cast<std::size_t>(index - 1);
    return RollRecord(std::string_view(text_).substr(recordStarts_[i]), recordCommands_[i]);
  }

 private:
  friend LoadedScript ParseScript(std::string text);
  friend class RecordLineNumbers;

  std::string text_;                           // UTF-8
  std::vector<std::uint32_t> recordStarts_;    // where each record's line starts in text_
  std::vector<RecordCommand> recordCommands_;  // each record's command, one byte
};

// The line numbers of a script's records, counted in its text when asked. Asked in record order,
// as messages go, all of them together read the text once.
class RecordLineNumbers {
 public:
  explicit RecordLineNumbers(const LoadedScript& script) : script_(script) {}

  std::int32_t LineOf(std::int32_t recordIndex);

 private:
  const LoadedScript& script_;
  std::size_t counted_ = 0;  // the line ends before this offset are counted
  std::int32_t line_ = 1;    // the line at offset counted_
};

}  // namespace velloway
