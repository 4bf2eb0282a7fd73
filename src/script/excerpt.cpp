#include "script/excerpt.h"

#include "base/utf8.h"

namespace velloway {
namespace {

// 10485700 as "10,485,700".
std::string GroupedDigits(std::size_t value) {
  const std::string digits = std::to_string(value);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

}  // namespace

std::string_view ExcerptHead(std::string_view text) {
  if (text.size() <= kExcerptBytes) return text;
  return text.substr(0, utf8::CharStart(text, kExcerptBytes));
}

std::string LeftOutNote(std::size_t textBytes, std::size_t headBytes) {
  if (headBytes >= textBytes) return {};
  return "\xE2\x80\xA6 (" + GroupedDigits(textBytes - headBytes) + " more bytes)";
}

std::string Excerpt(std::string_view text) {
  const std::string_view head = ExcerptHead(text);
  return std::string(head) + LeftOutNote(text.size(), head.size());
}

}  // namespace velloway
