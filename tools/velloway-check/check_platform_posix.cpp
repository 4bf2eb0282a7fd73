#include <algorithm>
#include <filesystem>

#include "check_platform.h"

namespace velloway::check {

CheckEnvironment MachineEnvironment(std::string programDirectory) {
  CheckEnvironment environment;
  environment.ProgramDirectory = std::move(programDirectory);
  environment.MusicFileExists = [](std::string_view path) {
    // A Windows drive path cannot be looked at here; anything else is a path below the script.
    if (path.find(":\\") != std::string_view::npos) return true;
    std::string local(path);
    std::replace(local.begin(), local.end(), '\\', '/');
    std::error_code error;
    return std::filesystem::exists(std::filesystem::path(std::u8string(local.begin(), local.end())),
                                   error);
  };
  return environment;
}

headless::HeadlessBackend::TextMetrics MachineTextMetrics() {
  return {};
}

}  // namespace velloway::check
