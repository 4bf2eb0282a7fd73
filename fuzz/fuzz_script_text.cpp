// Fuzzes the readers of script text: the field splitter, the colour strings, both number
// readings and normalising. Each must take any bytes; the splitter's fields must join back to
// its input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>

#include "script/colour_text.h"
#include "script/modSplit.h"
#include "script/normalise.h"
#include "script/numbers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velloway;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const SplitResult split = SplitFields(text, '\t');
  if (const auto* fields = std::get_if<FieldList>(&split)) {
    std::string joined;
    for (std::size_t i = 0; i < fields->size(); ++i) joined += (i ? "\t" : "") + (*fields)[i];
    if (joined != text) std::abort();
  } else if (!text.empty() || std::get<std::int32_t>(split) != 1) {
    std::abort();
  }

  const ColorValue colour = HexToColor(text);
  if (colour < 0 || colour > 0xFFFFFF) std::abort();
  const WholeNumber whole = ReadWholeNumber(text);
  if (whole.Status != WholeNumberStatus::Ok && whole.Value != 0) std::abort();
  LeadingNumber16(text);
  Normalise(text);
  EqualsIgnoringCase(text, "ON");
  return 0;
}
