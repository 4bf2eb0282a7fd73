#include "script/script_types.h"

#include <utility>

#include "script/excerpt.h"
#include "script/normalise.h"
#include "script/split_fields.h"

namespace velloway {

RecordCommand ReadCommand(std::string_view word) {
  struct Command {
    std::string_view Word;
    RecordCommand Read;
  };
  static constexpr Command kCommands[] = {{"TEXT", RecordCommand::Text},
                                          {"CLEAR", RecordCommand::Clear},
                                          {"WAIT", RecordCommand::Wait},
                                          {"BGM", RecordCommand::Bgm}};
  for (const Command& command : kCommands) {
    if (NormalisesTo(word, command.Word)) return command.Read;
  }
  return RecordCommand::Other;
}

LineAlignment ReadAlignment(std::string_view alignMode) {
  if (alignMode == "LEFT") return LineAlignment::Left;
  if (alignMode == "MID") return LineAlignment::Centre;
  if (alignMode == "RIGHT") return LineAlignment::Right;
  return LineAlignment::Other;
}

void AddWarning(std::vector<ScriptDiagnostic>& list, std::int32_t line, std::string message) {
  if (DiagnosticsFull(list)) return;
  if (list.size() == kMaxDiagnostics) {
    message = "more than " + std::to_string(kMaxDiagnostics) +
              " warnings; from this line on they are not listed";
  }
  list.push_back({line, Severity::Warning, std::move(message)});
}

std::string RollRecord::CommandText() const {
  const std::string_view word = FindField(line_, 0);
  const std::string_view head = ExcerptHead(word);
  return Normalise(head) + LeftOutNote(word.size(), head.size());
}

std::string_view RollRecord::Param(int index) const {
  if (index < 1 || index > kMaxParam) return {};
  return FindField(line_, static_cast<std::size_t>(index));
}

std::array<std::string_view, RollRecord::kMaxParam> RollRecord::Params() const {
  std::array<std::string_view, kMaxParam> params{};
  std::string_view rest = line_;
  for (std::size_t field = 0; field <= params.size(); ++field) {
    const std::string_view text = FindField(rest, 0);
    if (field > 0) params[field - 1] = text;
    if (text.size() == rest.size() || rest[text.size()] != '\t') break;
    rest.remove_prefix(text.size() + 1);
  }
  return params;
}

std::int32_t RecordLineNumbers::LineOf(std::int32_t recordIndex) {
  const std::string_view text = script_.text_;
  const std::size_t start = script_.recordStarts_[static_cast<std::size_t>(recordIndex - 1)];
  if (start < counted_) {
    counted_ = 0;  // asked out of order: count again from the top
    line_ = 1;
  }
  // A line ends at CR LF, a lone LF or a lone CR. A record's line never starts between the CR and
  // the LF of one line end, so the two are counted once.
  for (; counted_ < start; ++counted_) {
    const char c = text[counted_];
    if (c == '\n' || (c == '\r' && (counted_ + 1 == text.size() || text[counted_ + 1] != '\n'))) {
      ++line_;
    }
  }
  return line_;
}

}  // namespace velloway
