#include "check_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "script/excerpt.h"
#include "script_checks.h"

namespace velloway::check {
namespace {

const char* SeverityName(Severity level) {
  return level == Severity::Error ? "error" : "warning";
}

const char* EncodingName(ScriptEncoding encoding) {
  switch (encoding) {
    case ScriptEncoding::Utf8:
      return "UTF-8";
    case ScriptEncoding::Utf8WithBom:
      return "UTF-8 with byte-order mark";
    case ScriptEncoding::Utf16LE:
      return "UTF-16 LE";
    case ScriptEncoding::Utf16BE:
      return "UTF-16 BE";
    case ScriptEncoding::LegacyCodePage:
      return "system code page";
  }
  return "";
}

bool IsControl(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c < 0xA0);
}

// The character at text[i]: an ASCII byte, a C1 control (U+0080..U+009F, two bytes in UTF-8), or
// for any other byte U+FFFF, which no escape stands for; *size its bytes.
char32_t CharacterAt(std::string_view text, std::size_t i, std::size_t* size) {
  const auto byte = static_cast<unsigned char>(text[i]);
  *size = 1;
  if (byte < 0x80) return byte;
  if (byte == 0xC2 && i + 1 < text.size()) {
    const auto next = static_cast<unsigned char>(text[i + 1]);
    if (next >= 0x80 && next < 0xA0) {
      *size = 2;
      return next;
    }
  }
  return 0xFFFF;
}

// text with each character that escape(c, out) writes an escape for (answering true) replaced
// by it; the others are kept as they are.
template <typename Escape>
std::string Escaped(std::string_view text, Escape escape) {
  std::string out;
  out.reserve(text.size() + 2);
  for (std::size_t i = 0; i < text.size();) {
    std::size_t size = 0;
    const char32_t c = CharacterAt(text, i, &size);
    if (!escape(c, out)) out.append(text.substr(i, size));
    i += size;
  }
  return out;
}

void AppendHex(std::string& out, const char* format, char32_t c) {
  char text[8];
  std::snprintf(text, sizeof text, format, static_cast<unsigned>(c));
  out += text;
}

// As a terminal shows it: a control character in a script would move the cursor, clear the
// screen or retitle the window; it is shown as an escape instead ("\x1b", "\0").
std::string ForTerminal(std::string_view text) {
  return Escaped(text, [](char32_t c, std::string& out) {
    if (!IsControl(c)) return false;
    switch (c) {
      case 0:
        out += "\\0";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        AppendHex(out, c < 0x80 ? "\\x%02x" : "\\u%04x", c);
    }
    return true;
  });
}

// A JSON string; DEL and the C1 controls are escaped too, as a terminal would act on them.
std::string Quoted(std::string_view text) {
  return "\"" +
         Escaped(text,
                 [](char32_t c, std::string& out) {
                   switch (c) {
                     case '"':
                       out += "\\\"";
                       break;
                     case '\\':
                       out += "\\\\";
                       break;
                     case '\n':
                       out += "\\n";
                       break;
                     case '\r':
                       out += "\\r";
                       break;
                     case '\t':
                       out += "\\t";
                       break;
                     default:
                       if (!IsControl(c)) return false;
                       AppendHex(out, "\\u%04x", c);
                   }
                   return true;
                 }) +
         "\"";
}

std::string Member(const char* name, const std::string& jsonValue) {
  return std::string("\"") + name + "\": " + jsonValue;
}

std::string HeaderJson(const ScriptHeader& header) {
  return "{" + Member("BaseFontSize", std::to_string(header.BaseFontSize)) + ", " +
         Member("SpeedIndex", std::to_string(header.SpeedIndex)) + ", " +
         Member("AlignMode", Quoted(Excerpt(header.AlignMode))) + ", " +
         Member("BackColorText", Quoted(Excerpt(header.BackColorText))) + "}";
}

std::string RecordJson(std::int32_t number, std::int32_t line, const RollRecord& record) {
  std::string json = "{" + Member("record", std::to_string(number)) + ", " +
                     Member("line", std::to_string(line)) + ", " +
                     Member("Command", Quoted(record.CommandText()));
  for (int i = 1; i <= RollRecord::kMaxParam; ++i) {
    const std::string name = "Param" + std::to_string(i);
    json += ", " + Member(name.c_str(), Quoted(Excerpt(record.Param(i))));
  }
  return json + "}";
}

std::string DiagnosticJson(const ScriptDiagnostic& diagnostic) {
  return "{" + Member("line", std::to_string(diagnostic.Line)) + ", " +
         Member("severity", Quoted(SeverityName(diagnostic.Level))) + ", " +
         Member("message", Quoted(diagnostic.Message)) + "}";
}

// A JSON array of count items, the item i made by toJson(i), i from 0.
template <typename ToJson>
std::string JsonArray(std::size_t count, ToJson&& toJson) {
  if (count == 0) return "[]";
  std::string json = "[\n";
  for (std::size_t i = 0; i < count; ++i) {
    json += "    " + toJson(i) + (i + 1 < count ? ",\n" : "\n");
  }
  return json + "  ]";
}

// The lines of DiagnosticLines, without their line end: a file not read, a diagnostic.
std::string FailureLine(const std::string& shownFile, const ScriptReadFailure& failure) {
  return shownFile + ": error: " + failure.Reason;
}

std::string DiagnosticLine(const std::string& shownFile, const ScriptDiagnostic& diagnostic) {
  return shownFile + ":" + std::to_string(diagnostic.Line) + ": " + SeverityName(diagnostic.Level) +
         ": " + ForTerminal(diagnostic.Message);
}

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", seconds);
  return text;
}

}  // namespace

int ExitStatus(const LoadedScript& script) {
  if (script.Failure) return kUnreadable;
  return script.Diagnostics.empty() ? kClean : kHasDiagnostics;
}

std::string DiagnosticLines(const std::string& file, const LoadedScript& script) {
  const std::string shownFile = ForTerminal(file);
  if (script.Failure) return FailureLine(shownFile, *script.Failure) + "\n";
  std::string lines;
  for (const ScriptDiagnostic& d : script.Diagnostics) lines += DiagnosticLine(shownFile, d) + "\n";
  return lines;
}

std::optional<std::string> FirstPlayingError(const std::string& file, const LoadedScript& script) {
  const std::string shownFile = ForTerminal(file);
  if (script.Failure) return FailureLine(shownFile, *script.Failure);
  const std::vector<ScriptDiagnostic> errors = PlayingErrors(script);
  if (errors.empty()) return std::nullopt;
  const auto first = std::min_element(
      errors.begin(), errors.end(),
      [](const ScriptDiagnostic& a, const ScriptDiagnostic& b) { return a.Line < b.Line; });
  return DiagnosticLine(shownFile, *first);
}

std::string ScriptJson(const std::string& file, const LoadedScript& script) {
  std::string json = "{\n  " + Member("file", Quoted(file)) + ",\n";
  if (script.Failure) json += "  " + Member("error", Quoted(script.Failure->Reason)) + ",\n";
  json += "  " + Member("encoding", Quoted(EncodingName(script.Encoding))) + ",\n";
  json += "  " + Member("header", HeaderJson(script.Header)) + ",\n";
  json += "  " + Member("RecordCount", std::to_string(script.RecordCount())) + ",\n";
  RecordLineNumbers lines(script);
  const auto record = [&](std::size_t i) {
    const auto number = static_cast<std::int32_t>(i + 1);
    return RecordJson(number, lines.LineOf(number), script.Record(number));
  };
  json += "  " +
          Member("records", JsonArray(static_cast<std::size_t>(script.RecordCount()), record)) +
          ",\n";
  const auto diagnostic = [&](std::size_t i) { return DiagnosticJson(script.Diagnostics[i]); };
  json += "  " + Member("diagnostics", JsonArray(script.Diagnostics.size(), diagnostic)) + "\n";
  return json + "}\n";
}

std::string TimelineText(const Timeline& timeline) {
  if (timeline.IntervalMs == 0) return "the roll does not play: SpeedIndex 0 raises no ticks\n";
  if (timeline.Entries.empty()) return "the roll does not play: the script has no records\n";
  char line[160];
  std::string text = "    tick   seconds  record  command\n";
  for (const TimelineEntry& entry : timeline.Entries) {
    // The command after the figures, whole: a long one would not fit the line's buffer.
    std::snprintf(line, sizeof line, "%8lld %9s %7d  ", static_cast<long long>(entry.Tick),
                  Seconds(entry.Seconds).c_str(), entry.Record);
    text += line + ForTerminal(entry.Command) + "\n";
  }
  if (timeline.LoopCutShort) {
    // Days rounded down, so that "longer than" holds for them too.
    const double days = std::floor(timeline.LoopSeconds / 8640.0) / 10.0;
    std::snprintf(
        line, sizeof line,
        "loop: longer than %lld ticks, %s seconds (%.1f days): the timeline stops there\n",
        static_cast<long long>(timeline.LoopTicks), Seconds(timeline.LoopSeconds).c_str(), days);
  } else {
    std::snprintf(line, sizeof line, "loop: %lld ticks, %s seconds\n",
                  static_cast<long long>(timeline.LoopTicks),
                  Seconds(timeline.LoopSeconds).c_str());
  }
  return text + line;
}

std::string TimelineJson(const Timeline& timeline) {
  const std::string entries = JsonArray(timeline.Entries.size(), [&](std::size_t i) {
    const TimelineEntry& entry = timeline.Entries[i];
    return "{" + Member("tick", std::to_string(entry.Tick)) + ", " +
           Member("seconds", Seconds(entry.Seconds)) + ", " +
           Member("record", std::to_string(entry.Record)) + ", " +
           Member("command", Quoted(entry.Command)) + "}";
  });
  // A loop cut short has other names, so that its bound is never read as its length.
  const char* ticks = timeline.LoopCutShort ? "longerThanTicks" : "ticks";
  const char* seconds = timeline.LoopCutShort ? "longerThanSeconds" : "seconds";
  return "{\n  " + Member("intervalMs", std::to_string(timeline.IntervalMs)) + ",\n  " +
         Member("timeline", entries) + ",\n  " +
         Member("loop", "{" + Member(ticks, std::to_string(timeline.LoopTicks)) + ", " +
                            Member(seconds, Seconds(timeline.LoopSeconds)) + "}") +
         "\n}\n";
}

}  // namespace velloway::check
