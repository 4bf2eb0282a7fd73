#include "script/script_loader.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

#include "base/utf8_path.h"
#include "platform/device_file.h"
#include "script/encoding.h"
#include "script/excerpt.h"
#include "script/normalise.h"
#include "script/numbers.h"
#include "script/split_fields.h"

namespace velloway {
namespace {

constexpr std::size_t kHeaderFields = 5;
constexpr std::size_t kMaxRecordFields = 1 + RollRecord::kMaxParam;
constexpr std::int16_t kMaxSpeedIndex = 3;

// Calls onLine(line, offset) for every line of text, without its line end; offset is where the
// line starts in text.
template <typename OnLine>
void ForEachLine(std::string_view text, OnLine&& onLine) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = FindLineEnd(text, start);
    onLine(text.substr(start, end - start), start);
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
      ++end;
    }
    start = end + 1;
  }
}

// Lines that are neither empty nor comments: the records and the header lines. A line starts at
// the text's start and after each CR or LF; one that starts with a CR or LF is empty (or the LF
// of a CR LF).
std::size_t CountRecordLinesUpperBound(std::string_view text) {
  const auto isLineEnd = [](char c) { return c == '\r' || c == '\n'; };
  const auto startsRecordLine = [&](char c) { return !isLineEnd(c) && c != '#'; };
  if (text.empty()) return 0;
  std::size_t count = startsRecordLine(text[0]) ? 1 : 0;
  for (std::size_t i = 1; i < text.size(); ++i) {
    count += static_cast<std::size_t>(isLineEnd(text[i - 1]) && startsRecordLine(text[i]));
  }
  return count;
}

class ScriptReader {
 public:
  ScriptReader(LoadedScript& script, std::vector<std::uint32_t>& recordStarts,
               std::vector<RecordCommand>& recordCommands)
      : script_(script), recordStarts_(recordStarts), recordCommands_(recordCommands) {}

  void ReadLine(std::string_view line, std::size_t offset) {
    ++lineNumber_;
    if (line.empty()) return;
    const std::string_view firstField = FindField(line, 0);
    if (NormalisesTo(firstField, "HEADER")) {
      ReadHeader(line);
    } else if (line.front() == '#') {
      return;  // a comment
    } else {
      AppendRecord(line, offset, ReadCommand(firstField));
    }
  }

 private:
  void Warn(std::string message) {
    AddWarning(script_.Diagnostics, lineNumber_, std::move(message));
  }

  std::int16_t HeaderNumber(std::string_view text, const char* name) {
    const WholeNumber number = ReadWholeNumber(text);
    if (number.Status == WholeNumberStatus::NotANumber) {
      Warn(std::string(name) + " \"" + Excerpt(text) + "\" is not a whole number; 0 is used");
    } else if (number.Status == WholeNumberStatus::OutOfRange) {
      Warn(std::string(name) + " " + Excerpt(text) + " is outside -32768..32767; 0 is used");
    }
    return number.Value;
  }

  void ReadHeader(std::string_view line) {
    script_.HeaderLine = lineNumber_;
    const std::size_t fields = CountFields(line);
    if (fields < kHeaderFields) {
      Warn("header line has " + std::to_string(fields) +
           " fields, 5 expected; the missing ones count as empty");
    }
    ScriptHeader& header = script_.Header;
    header.BaseFontSize = HeaderNumber(FindField(line, 1), "BaseFontSize");
    header.SpeedIndex = HeaderNumber(FindField(line, 2), "SpeedIndex");
    const std::int16_t speed = std::clamp<std::int16_t>(header.SpeedIndex, 0, kMaxSpeedIndex);
    if (speed != header.SpeedIndex) {
      Warn("SpeedIndex " + std::to_string(header.SpeedIndex) + " is outside 0..3; " +
           std::to_string(speed) + " is used");
      header.SpeedIndex = speed;
    }
    header.AlignMode = Normalise(FindField(line, 3));
    header.Alignment = ReadAlignment(header.AlignMode);
    header.BackColorText = FindField(line, 4);
  }

  void AppendRecord(std::string_view line, std::size_t offset, RecordCommand command) {
    const std::size_t fields = CountFields(line);
    if (fields > kMaxRecordFields) {
      Warn("record line has " + std::to_string(fields - 1) +
           " parameters, at most 5 are read; the rest is ignored");
    }
    // A script's text is at most three times its 256 MB: its offsets fit 32 bits.
    recordStarts_.push_back(static_cast<std::uint32_t>(offset));
    recordCommands_.push_back(command);
  }

  LoadedScript& script_;
  std::vector<std::uint32_t>& recordStarts_;
  std::vector<RecordCommand>& recordCommands_;
  std::int32_t lineNumber_ = 0;
};

LoadedScript FailedScript(std::string path, std::string reason) {
  LoadedScript script;
  script.Failure = ScriptReadFailure{std::move(path), std::move(reason)};
  return script;
}

}  // namespace

LoadedScript ParseScript(std::string text) {
  LoadedScript script;
  script.text_ = std::move(text);
  const std::string_view view = script.text_;
  // Counted first, so that the offsets take exactly their room and are never copied to grow.
  const std::size_t records = CountRecordLinesUpperBound(view);
  script.recordStarts_.reserve(records);
  script.recordCommands_.reserve(records);
  ScriptReader reader(script, script.recordStarts_, script.recordCommands_);
  ForEachLine(view, [&reader](std::string_view line, std::size_t offset) {
    reader.ReadLine(line, offset);
  });
  return script;
}

LoadedScript LoadScriptBytes(std::string bytes, unsigned legacyCodePage) {
  // The raw bytes are gone once decoded: the text and the records never meet them.
  DecodedScript decoded = DecodeScriptBytes(std::move(bytes), legacyCodePage);
  LoadedScript script = ParseScript(std::move(decoded.Text));
  script.Encoding = decoded.Encoding;
  return script;
}

LoadedScript LoadScriptFile(const std::string& path, unsigned legacyCodePage) {
  if (platform::IsDeviceOrPipe(path)) return FailedScript(path, "Script cannot be read");
  const std::filesystem::path nativePath = utf8::ToPath(path);
  std::error_code error;
  const auto status = std::filesystem::status(nativePath, error);
  // The type is unknown when the path could not be followed for another reason than a missing
  // part. A name too long for the system names no file; any other reason (a folder that may not
  // be searched, a loop of links) keeps an existing file from being read.
  if (status.type() == std::filesystem::file_type::none && error != std::errc::filename_too_long) {
    return FailedScript(path, "Script cannot be read");
  }
  if (!std::filesystem::exists(status)) return FailedScript(path, "Script not found");
  if (std::filesystem::is_directory(status)) return FailedScript(path, "Script is a folder");
  const auto size = std::filesystem::file_size(nativePath, error);
  if (error) return FailedScript(path, "Script cannot be read");
  if (IsTooLargeForAScript(size)) return FailedScript(path, "Script is larger than 256 MB");

  std::ifstream file(nativePath, std::ios::binary);
  if (!file) return FailedScript(path, "Script cannot be read");
  std::string bytes(static_cast<std::size_t>(size), '\0');
  file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(file.gcount()));  // the file may have shrunk meanwhile
  return LoadScriptBytes(std::move(bytes), legacyCodePage);
}

LoadedScript LoadChosenScript(std::string_view scriptFolder, std::string_view fileName,
                              unsigned legacyCodePage, platform::ScriptFileNames names) {
  const std::string path = ScriptFilePath(scriptFolder, fileName, names);
  if (fileName.empty()) return FailedScript(path, "No script chosen");
  return LoadScriptFile(path, legacyCodePage);
}

std::string ScriptFilePath(std::string_view scriptFolder, std::string_view fileName,
                           platform::ScriptFileNames names) {
  std::string path;
  path.reserve(scriptFolder.size() + 1 + fileName.size());
  path.append(scriptFolder).push_back(names == platform::ScriptFileNames::Windows ? '\\' : '/');
  path.append(fileName);
  return path;
}

}  // namespace velloway
