// Fuzzes the script loader with raw bytes in every encoding it may meet.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "script/script_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velloway;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  for (const unsigned codePage : {932u, 1252u}) {
    const LoadedScript script = LoadScriptBytes(bytes, codePage);
    if (script.Header.SpeedIndex < 0 || script.Header.SpeedIndex > 3) std::abort();
    RecordLineNumbers lines(script);
    std::int32_t previousLine = 0;
    for (std::int32_t i = 1; i <= script.RecordCount(); ++i) {
      const std::int32_t line = lines.LineOf(i);
      if (!script.Record(i).Param(0).empty() || line <= previousLine) std::abort();
      previousLine = line;
    }
  }
  return 0;
}
