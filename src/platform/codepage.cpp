#include "platform/codepage.h"

#include <charconv>

namespace velloway::platform {

std::optional<unsigned> ParseCodePage(std::string_view text) {
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value == 0 || value > 65535) {
    return std::nullopt;
  }
  return value;
}

}  // namespace velloway::platform
