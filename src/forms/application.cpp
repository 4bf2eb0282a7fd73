#include "forms/application.h"

#include <cstdlib>
#include <optional>
#include <utility>

#include "velloway_version.h"

namespace velloway::forms {

std::int16_t Application::Major() {
  return VELLOWAY_VERSION_MAJOR;
}
std::int16_t Application::Minor() {
  return VELLOWAY_VERSION_MINOR;
}
std::int16_t Application::Revision() {
  return VELLOWAY_VERSION_REVISION;
}

void Application::End() {
  events_.End();
  std::abort();  // a backend's End never returns; if one did, the program must still end here
}

std::string Application::GetSetting(std::string_view app, std::string_view section,
                                    std::string_view key, std::string_view defaultValue) const {
  // Longer than the longest path Windows opens: not a value this program wrote or could use.
  constexpr std::size_t kMaxValueBytes = 32'767;
  std::optional<std::string> value = settings_.Read(app, section, key);
  if (!value || value->size() > kMaxValueBytes) return std::string(defaultValue);
  return std::move(*value);
}

void Application::SaveSetting(std::string_view app, std::string_view section, std::string_view key,
                              std::string_view value) const {
  settings_.Write(app, section, key, value);
}

}  // namespace velloway::forms
