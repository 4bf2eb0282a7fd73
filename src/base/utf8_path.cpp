#include "base/utf8_path.h"

namespace velloway::utf8 {

std::filesystem::path ToPath(std::string_view text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string FromPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace velloway::utf8
