#include "check_report.h"

#include <cstdio>

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

std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
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
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

std::string Member(const char* name, const std::string& jsonValue) {
  return std::string("\"") + name + "\": " + jsonValue;
}

std::string HeaderJson(const ScriptHeader& header) {
  return "{" + Member("BaseFontSize", std::to_string(header.BaseFontSize)) + ", " +
         Member("SpeedIndex", std::to_string(header.SpeedIndex)) + ", " +
         Member("AlignMode", Quoted(header.AlignMode)) + ", " +
         Member("BackColorText", Quoted(header.BackColorText)) + "}";
}

std::string RecordJson(std::int32_t number, std::int32_t line, const RollRecord& record) {
  std::string json = "{" + Member("record", std::to_string(number)) + ", " +
                     Member("line", std::to_string(line)) + ", " +
                     Member("Command", Quoted(record.CommandText()));
  for (int i = 1; i <= RollRecord::kMaxParam; ++i) {
    const std::string name = "Param" + std::to_string(i);
    json += ", " + Member(name.c_str(), Quoted(record.Param(i)));
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
  if (script.Failure) return file + ": error: " + script.Failure->Reason + "\n";
  std::string lines;
  for (const ScriptDiagnostic& d : script.Diagnostics) {
    lines += file + ":" + std::to_string(d.Line) + ": " + SeverityName(d.Level) + ": " + d.Message +
             "\n";
  }
  return lines;
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
    std::snprintf(line, sizeof line, "%8lld %9s %7d  %s\n", static_cast<long long>(entry.Tick),
                  Seconds(entry.Seconds).c_str(), entry.Record, entry.Command.c_str());
    text += line;
  }
  std::snprintf(line, sizeof line, "loop: %lld ticks, %s seconds\n",
                static_cast<long long>(timeline.LoopTicks), Seconds(timeline.LoopSeconds).c_str());
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
  return "{\n  " + Member("intervalMs", std::to_string(timeline.IntervalMs)) + ",\n  " +
         Member("timeline", entries) + ",\n  " +
         Member("loop", "{" + Member("ticks", std::to_string(timeline.LoopTicks)) + ", " +
                            Member("seconds", Seconds(timeline.LoopSeconds)) + "}") +
         "\n}\n";
}

}  // namespace velloway::check
