#include "script_checks.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <utility>

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

// Characters no face needs a glyph for: controls; spaces, which shaping draws as blank room where
// a face lacks them; and those Unicode makes ignorable by default (joiners, direction marks and
// embeddings, variation selectors, tags), which text shows as nothing.
constexpr std::pair<char32_t, char32_t> kNoGlyphNeeded[] = {
    {0x0000, 0x0020}, {0x007F, 0x00A0}, {0x00AD, 0x00AD},   {0x034F, 0x034F},   {0x061C, 0x061C},
    {0x115F, 0x1160}, {0x17B4, 0x17B5}, {0x180B, 0x180F},   {0x2000, 0x200F},   {0x2028, 0x202F},
    {0x205F, 0x206F}, {0x3000, 0x3000}, {0x3164, 0x3164},   {0xFE00, 0xFE0F},   {0xFEFF, 0xFEFF},
    {0xFFA0, 0xFFA0}, {0xFFF0, 0xFFF8}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0000, 0xE0FFF},
};

bool NeedsGlyph(char32_t c) {
  // The first range that does not end before c.
  const auto* range = std::lower_bound(
      std::begin(kNoGlyphNeeded), std::end(kNoGlyphNeeded), c,
      [](const std::pair<char32_t, char32_t>& r, char32_t value) { return r.second < value; });
  return range == std::end(kNoGlyphNeeded) || c < range->first;
}

// U+0D9A.
std::string CodePointName(char32_t c) {
  char name[12];
  std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(c));
  return name;
}

// The character at text[pos], pos moved past it; most text is ASCII, read without decoding.
char32_t NextCharacter(std::string_view text, std::size_t& pos) {
  const auto byte = static_cast<unsigned char>(text[pos]);
  if (byte >= 0x80) return utf8::Decode(text, pos);
  ++pos;
  return byte;
}

// How many of a line's characters that no font shows its warning names; "…" says there are more.
constexpr std::size_t kUnshownNamed = 4;

// The characters of text that need a glyph and are not among those shown, each once, in the
// order they first come: at most kUnshownNamed, and one more when there are more.
std::vector<char32_t> UnshownCharacters(std::string_view text, const CodePointSet& shown) {
  std::vector<char32_t> unshown;
  for (std::size_t pos = 0; pos < text.size() && unshown.size() <= kUnshownNamed;) {
    const char32_t c = NextCharacter(text, pos);
    if (shown.Contains(c) || !NeedsGlyph(c)) continue;
    if (std::find(unshown.begin(), unshown.end(), c) == unshown.end()) unshown.push_back(c);
  }
  return unshown;
}

std::string UnshownWarning(const std::vector<char32_t>& unshown) {
  std::string names;
  for (std::size_t i = 0; i < unshown.size() && i < kUnshownNamed; ++i) {
    names += (i == 0 ? "" : ", ") + CodePointName(unshown[i]);
  }
  if (unshown.size() > kUnshownNamed) names += " \xE2\x80\xA6";
  return "no installed font shows " + names +
         (unshown.size() == 1 ? ": it shows as a box" : ": they show as boxes");
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
    if (environment_.InstalledCharacters) CheckCharacters(text, line);
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

  void CheckCharacters(std::string_view text, std::int32_t line) {
    if (!installedCharacters_) installedCharacters_ = environment_.InstalledCharacters();
    const std::vector<char32_t> unshown = UnshownCharacters(text, *installedCharacters_);
    if (!unshown.empty()) Warn(line, UnshownWarning(unshown));
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
  std::optional<CodePointSet> installedCharacters_;
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
