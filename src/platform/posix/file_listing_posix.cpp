#include "platform/file_listing.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "base/utf8.h"
#include "base/utf8_path.h"

namespace velloway::platform {

std::vector<std::string> ListFiles(std::string_view directory, std::string_view pattern) {
  const std::string ending(pattern.starts_with("*") ? pattern.substr(1) : pattern);
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(utf8::ToPath(directory), error)) {
    if (!entry.is_regular_file(error)) continue;
    const std::string name = utf8::FromPath(entry.path().filename());
    // A name starting with a dot is a hidden file here.
    if (name.starts_with('.') || name.size() < ending.size()) continue;
    if (utf8::EqualsIgnoringCase(std::string_view(name).substr(name.size() - ending.size()),
                                 ending)) {
      names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace velloway::platform
