#include "script/script_loader.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>
#include <variant>

#include "script/encoding.h"
#include "script/modSplit.h"
#include "script/normalise.h"
#include "script/numbers.h"

namespace velloway {
namespace {

constexpr char kTab = '\t';
constexpr std::size_t kHeaderFields = 5;
constexpr std::size_t kMaxRecordFields = 1 + RollRecord::kMaxParam;
constexpr std::int16_t kMaxSpeedIndex = 3;

// Calls onLine(line) for every line of text, without its line end.
template <typename OnLine>
void ForEachLine(std::string_view text, OnLine&& onLine) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = start;
    while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
    onLine(text.substr(start, end - start));
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
      ++end;
    }
    start = end + 1;
  }
}

std::size_t CountLinesUpperBound(std::string_view text) {
  const auto lf = std::count(text.begin(), text.end(), '\n');
  const auto cr = std::count(text.begin(), text.end(), '\r');
  return static_cast<std::size_t>(std::max(lf, cr)) + 1;
}

class ScriptReader {
 public:
  explicit ScriptReader(LoadedScript& script) : script_(script) {}

  void ReadLine(std::string_view line) {
    ++lineNumber_;
    SplitResult split = SplitFields(line, kTab);
    if (!std::holds_alternative<FieldList>(split)) return;  // an empty line
    FieldList& fields = std::get<FieldList>(split);
    std::string command = Normalise(fields[0]);
    if (command == "HEADER") {
      ReadHeader(fields);
    } else if (!fields[0].empty() && fields[0].front() == '#') {
      return;  // a comment
    } else {
      AppendRecord(std::move(command), fields);
    }
  }

 private:
  void Warn(std::string message) {
    script_.Diagnostics.push_back({lineNumber_, Severity::Warning, std::move(message)});
  }

  std::int16_t HeaderNumber(const FieldList& fields, std::size_t index, const char* name) {
    const std::string& text = index < fields.size() ? fields[index] : std::string();
    const WholeNumber number = ReadWholeNumber(text);
    if (number.Status == WholeNumberStatus::NotANumber) {
      Warn(std::string(name) + " \"" + text + "\" is not a whole number; 0 is used");
    } else if (number.Status == WholeNumberStatus::OutOfRange) {
      Warn(std::string(name) + " " + text + " is outside -32768..32767; 0 is used");
    }
    return number.Value;
  }

  void ReadHeader(FieldList& fields) {
    script_.HeaderLine = lineNumber_;
    if (fields.size() < kHeaderFields) {
      Warn("header line has " + std::to_string(fields.size()) +
           " fields, 5 expected; the missing ones count as empty");
      fields.resize(kHeaderFields);
    }
    ScriptHeader& header = script_.Header;
    header.BaseFontSize = HeaderNumber(fields, 1, "BaseFontSize");
    header.SpeedIndex = HeaderNumber(fields, 2, "SpeedIndex");
    const std::int16_t speed = std::clamp<std::int16_t>(header.SpeedIndex, 0, kMaxSpeedIndex);
    if (speed != header.SpeedIndex) {
      Warn("SpeedIndex " + std::to_string(header.SpeedIndex) + " is outside 0..3; " +
           std::to_string(speed) + " is used");
      header.SpeedIndex = speed;
    }
    header.AlignMode = Normalise(fields[3]);
    header.BackColorText = std::move(fields[4]);
  }

  void AppendRecord(std::string command, FieldList& fields) {
    if (fields.size() > kMaxRecordFields) {
      Warn("record line has " + std::to_string(fields.size() - 1) +
           " parameters, at most 5 are read; the rest is ignored");
    }
    RollRecord& record = script_.Records.emplace_back();
    record.Command = std::move(command);
    record.SourceLine = lineNumber_;
    const std::size_t last = std::min(fields.size(), kMaxRecordFields);
    for (std::size_t e = 1; e < last; ++e)
      record.SetParam(static_cast<int>(e), std::move(fields[e]));
  }

  LoadedScript& script_;
  std::int32_t lineNumber_ = 0;
};

LoadedScript FailedScript(std::string path, std::string reason) {
  LoadedScript script;
  script.Failure = ScriptReadFailure{std::move(path), std::move(reason)};
  return script;
}

std::filesystem::path NativePath(const std::string& utf8Path) {
  return std::filesystem::path(std::u8string(utf8Path.begin(), utf8Path.end()));
}

}  // namespace

LoadedScript ParseScript(std::string_view text) {
  LoadedScript script;
  script.Records.reserve(CountLinesUpperBound(text));
  ScriptReader reader(script);
  ForEachLine(text, [&reader](std::string_view line) { reader.ReadLine(line); });
  return script;
}

LoadedScript LoadScriptBytes(std::string bytes, unsigned legacyCodePage) {
  DecodedScript decoded = DecodeScriptBytes(std::move(bytes), legacyCodePage);
  LoadedScript script = ParseScript(decoded.Text);
  script.Encoding = decoded.Encoding;
  return script;
}

LoadedScript LoadScriptFile(const std::string& path, unsigned legacyCodePage) {
  const std::filesystem::path nativePath = NativePath(path);
  std::error_code error;
  const auto status = std::filesystem::status(nativePath, error);
  if (!std::filesystem::exists(status)) return FailedScript(path, "Script not found");
  if (std::filesystem::is_directory(status)) return FailedScript(path, "Script is a folder");
  const auto size = std::filesystem::file_size(nativePath, error);
  if (error) return FailedScript(path, "Script cannot be read");
  if (size > kMaxScriptBytes) return FailedScript(path, "Script is larger than 256 MB");

  std::ifstream file(nativePath, std::ios::binary);
  if (!file) return FailedScript(path, "Script cannot be read");
  std::string bytes(static_cast<std::size_t>(size), '\0');
  file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(file.gcount()));  // the file may have shrunk meanwhile
  return LoadScriptBytes(std::move(bytes), legacyCodePage);
}

LoadedScript LoadChosenScript(std::string_view programDir, std::string_view fileName,
                              unsigned legacyCodePage) {
  const std::string path = ProgramFilePath(programDir, fileName);
  if (fileName.empty()) return FailedScript(path, "No script chosen");
  return LoadScriptFile(path, legacyCodePage);
}

std::string ProgramFilePath(std::string_view programDir, std::string_view fileName) {
#ifdef _WIN32
  constexpr char kSeparator = '\\';
#else
  constexpr char kSeparator = '/';
#endif
  std::string path;
  path.reserve(programDir.size() + 1 + fileName.size());
  path.append(programDir).push_back(kSeparator);
  path.append(fileName);
  return path;
}

}  // namespace velloway
