#include "script/script_types.h"

#include <gtest/gtest.h>

namespace velloway {
namespace {

TEST(ReadCommand, ReadsEachCommandByItsWholeWordAndNothingElse) {
  const struct {
    const char* word;
    RecordCommand command;
  } cases[] = {
      {"TEXT", RecordCommand::Text},
      {"text", RecordCommand::Text},
      {"\xEF\xBC\xB4\xEF\xBD\x85\xEF\xBD\x98\xEF\xBD\x94", RecordCommand::Text},  // Ｔｅｘｔ
      {"CLEAR", RecordCommand::Clear},
      {"Clear", RecordCommand::Clear},
      {"WAIT", RecordCommand::Wait},
      {"wait", RecordCommand::Wait},
      {"BGM", RecordCommand::Bgm},
      {"bgm", RecordCommand::Bgm},
      {"TEX", RecordCommand::Other},
      {"TEXTS", RecordCommand::Other},
      {"TITLE", RecordCommand::Other},
      {" TEXT", RecordCommand::Other},
      {"TEXT ", RecordCommand::Other},
      {"CLEA", RecordCommand::Other},
      {"CLEARS", RecordCommand::Other},
      {"WAI", RecordCommand::Other},
      {"WAITS", RecordCommand::Other},
      {"BG", RecordCommand::Other},
      {"BGMS", RecordCommand::Other},
      {"B", RecordCommand::Other},
      {"HEADER", RecordCommand::Other},
      {"", RecordCommand::Other},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadCommand(c.word), c.command) << c.word;
}

}  // namespace
}  // namespace velloway
