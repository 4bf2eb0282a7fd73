// Fuzzes the readers of script text: fields, the colour strings, both number readings and
// normalising. Each must take any bytes; the fields of a line must join back to it, and the
// loader's quick keyword test must agree with normalising.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/utf8.h"
#include "script/colour_text.h"
#include "script/normalise.h"
#include "script/numbers.h"
#include "script/split_fields.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velloway;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  // The fields of the first line join back to it.
  const std::string_view line = text.substr(0, text.find_first_of("\r\n"));
  std::string joined;
  const std::size_t fields = CountFields(text);
  for (std::size_t i = 0; i < fields; ++i)
    joined += (i ? "\t" : "") + std::string(FindField(text, i));
  if (joined != line) std::abort();
  if (NormalisesTo(FindField(text, 0), "HEADER") != (Normalise(FindField(text, 0)) == "HEADER"))
    std::abort();

  const Color colour = HexToColor(text);
  if (colour < 0 || colour > 0xFFFFFF) std::abort();
  const WholeNumber whole = ReadWholeNumber(text);
  if (whole.Status != WholeNumberStatus::Ok && whole.Value != 0) std::abort();
  LeadingNumber16(text);
  Normalise(text);
  utf8::EqualsIgnoringCase(text, "ON");
  return 0;
}
