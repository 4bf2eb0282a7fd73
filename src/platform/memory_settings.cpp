#include "platform/memory_settings.h"

namespace velloway::platform {

std::string MemorySettings::Path(std::string_view app, std::string_view section,
                                 std::string_view key) {
  return std::string(app) + '\\' + std::string(section) + '\\' + std::string(key);
}

std::optional<std::string> MemorySettings::Read(std::string_view app, std::string_view section,
                                                std::string_view key) {
  const auto found = values_.find(Path(app, section, key));
  if (found == values_.end()) return std::nullopt;
  return found->second;
}

bool MemorySettings::Write(std::string_view app, std::string_view section, std::string_view key,
                           std::string_view value) {
  values_[Path(app, section, key)] = std::string(value);
  return true;
}

void MemorySettings::Erase(std::string_view app, std::string_view section, std::string_view key) {
  values_.erase(Path(app, section, key));
}

}  // namespace velloway::platform
