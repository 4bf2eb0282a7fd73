#include "script_checks.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>

#include "base/utf8.h"
#include "music/music_path.h"
#include "roll/roll_engine.h"
#include "script/colour_text.h"
#include "script/excerpt.h"
#include "script/numbers.h"

namespace velloway::check {
namespace {

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool IsColourText(std::string_view text) {
  return text.size() == 6 && std::all_of(text.begin(), text.end(), IsHexDigit);
}

// A colour value written back as RRGGBB, to say how a malformed colour reads.
std::string AsRrggbb(Color value) {
  char text[8];
  std::snprintf(text, sizeof text, "%02X%02X%02X", value & 0xFF, (value >> 8) & 0xFF,
                (value >> 16) & 0xFF);
  return text;
}

// A plain decimal number, as a writer means one: blanks around it, a sign, a fraction.
bool IsNumberText(std::string_view text) {
  return ReadWholeNumber(text).Status != WholeNumberStatus::NotANumber;
}

// What the machine answers for a name (whether a face is installed, a music file exists), asked
// once for each name: asking costs far more than checking a record, and a roll names a few faces
// and music files many times.
template <typename Answer>
class AskedOnce {
 public:
  using Ask = std::function<Answer(std::string_view name)>;
  explicit AskedOnce(const Ask& ask) : ask_(ask) {}

  Answer operator()(std::string_view name) {
    // A name longer than a path can be is asked each time: none is installed or exists, and
    // its warnings soon fill the list.
    if (name.size() > kMaxNameBytes) return ask_(name);
    const auto known = answers_.find(name);
    if (known != answers_.end()) return known->second;
    // Clearing now and then bounds what a script of ever new names makes.
    if (answers_.size() >= kMaxNames) answers_.clear();
    return answers_.emplace(std::string(name), ask_(name)).first->second;
  }

 private:
  // Enough for every name a roll uses.
  static constexpr std::size_t kMaxNames = 256;
  static constexpr std::size_t kMaxNameBytes = 4096;

  const Ask& ask_;
  std::map<std::string, Answer, std::less<>> answers_;
};

class Checker {
 public:
  Checker(const LoadedScript& script, const CheckEnvironment& environment)
      : script_(script),
        environment_(environment),
        findFont_(environment.FindFont),
        musicFileKind_(environment.MusicFileKind) {}

  std::vector<ScriptDiagnostic> Run() {
    diagnostics_ = PlayingErrors(script_);
    CheckHeader();
    RecordLineNumbers lines(script_);
    for (std::int32_t i = 1; i <= script_.RecordCount() && !DiagnosticsFull(diagnostics_); ++i) {
      CheckRecord(script_.Record(i), lines.LineOf(i));
    }
    return std::move(diagnostics_);
  }

 private:
  void Warn(std::int32_t line, std::string message) {
    AddWarning(diagnostics_, line, std::move(message));
  }

  void CheckHeader() {
    if (script_.HeaderLine == 0) return;
    CheckColour(script_.HeaderLine, "background colour", script_.Header.BackColorText);
    if (script_.Header.Alignment == LineAlignment::Other) {
      Warn(script_.HeaderLine,
           "AlignMode \"" + Excerpt(script_.Header.AlignMode) +
               "\" is none of LEFT, MID, RIGHT: lines keep the place of the line before");
    }
  }

  void CheckColour(std::int32_t line, const char* what, std::string_view text) {
    if (IsColourText(text)) return;
    Warn(line, std::string(what) + " \"" + Excerpt(text) +
                   "\" is not six hexadecimal digits; it reads as " + AsRrggbb(HexToColor(text)));
  }

  void CheckNumber(std::int32_t line, const char* what, std::string_view text) {
    if (IsNumberText(text)) return;
    Warn(line, std::string(what) + " \"" + Excerpt(text) + "\" is not a number; it reads as " +
                   std::to_string(LeadingNumber16(text)));
  }

  void CheckRecord(const RollRecord& record, std::int32_t line) {
    switch (record.Command()) {
      case RecordCommand::Text:
        CheckText(record, line);
        break;
      case RecordCommand::Wait:
        CheckNumber(line, "WAIT seconds", record.Param(1));
        break;
      case RecordCommand::Bgm:
        CheckMusic(record, line);
        break;
      case RecordCommand::Clear:
        break;
      case RecordCommand::Other:
        Warn(line, "unknown command \"" + record.CommandText() + "\": the saver skips it");
        break;
    }
  }

  void CheckText(const RollRecord& record, std::int32_t line) {
    // Read in one pass: a long line is not walked again for each field.
    const auto [face, sizeStep, text, colour, spacing] = record.Params();
    if (environment_.FindFont) CheckFont(face, line);
    CheckNumber(line, "size step", sizeStep);
    const std::int32_t points = RollEngine::LineFontPoints(sizeStep, script_.Header.BaseFontSize);
    const std::int32_t clamped = RollEngine::TakeableFontSize(points);
    if (clamped != points) {
      Warn(line, "font size " + std::to_string(points) + " points is clamped to " +
                     std::to_string(clamped));
    }
    CheckColour(line, "text colour", colour);
    CheckNumber(line, "spacing", spacing);
  }

  void CheckFont(std::string_view face, std::int32_t line) {
    const FontLookup font = findFont_(face);
    if (font.Installed) return;
    const std::string standIn = font.ShownIn.empty()
                                    ? "another font stands in"
                                    : "this machine shows it in \"" + font.ShownIn + "\"";
    Warn(line, "font \"" + Excerpt(face) + "\" is not installed: " + standIn);
  }

  void CheckMusic(const RollRecord& record, std::int32_t line) {
    const std::string_view onOff = record.Param(1);
    if (utf8::EqualsIgnoringCase(onOff, "OFF")) return;
    if (!utf8::EqualsIgnoringCase(onOff, "ON")) {
      Warn(line,
           "BGM switch \"" + Excerpt(onOff) + "\" is neither ON nor OFF: the record does nothing");
      return;
    }
    const std::string_view name = record.Param(2);
    const std::optional<std::string> named =
        MusicFilePath(environment_.ScriptFolder, name, environment_.FileNames);
    // A name the saver does not join to its folder (one holding ":\" on Linux) stands as it
    // is: a Windows drive, or another machine.
    const std::string_view path = named ? std::string_view(*named) : name;
    // Not looked for either: looking would reach across the network just the same.
    if (NamesNetworkLocation(path)) {
      Warn(line, "music path \"" + Excerpt(path) + "\" names a network location: it is not played");
      return;
    }
    if (!named) {
      Warn(line,
           "music file \"" + Excerpt(name) + "\" is on a Windows drive: it is not played here");
      return;
    }
    if (!environment_.MusicFileKind) return;
    switch (musicFileKind_(path)) {
      case platform::FileKind::Regular:
        break;
      case platform::FileKind::DeviceOrPipe:
        Warn(line, "music file \"" + Excerpt(path) + "\" is a device or a pipe: it is not played");
        break;
      case platform::FileKind::Unusable:
        Warn(line,
             "music file \"" + Excerpt(path) + "\" does not exist: the music does not change");
        break;
    }
  }

  const LoadedScript& script_;
  const CheckEnvironment& environment_;
  std::vector<ScriptDiagnostic> diagnostics_;
  AskedOnce<FontLookup> findFont_;
  AskedOnce<platform::FileKind> musicFileKind_;
};

}  // namespace

std::vector<ScriptDiagnostic> PlayingErrors(const LoadedScript& script) {
  std::vector<ScriptDiagnostic> errors;
  const auto error = [&errors](std::int32_t line, const char* message) {
    errors.push_back({line, Severity::Error, message});
  };
  if (script.HeaderLine == 0) {
    error(1, "no header line: speed 0 shows no roll, on a black screen");
  } else if (script.Header.SpeedIndex == 0) {
    error(script.HeaderLine, "SpeedIndex 0: the roll does not play");
  }
  if (script.RecordCount() == 0) {
    error(1, "the script has no records: the saver shows its background only");
  }
  return errors;
}

std::vector<ScriptDiagnostic> CheckScript(const LoadedScript& script,
                                          const CheckEnvironment& environment) {
  return Checker(script, environment).Run();
}

}  // namespace velloway::check
