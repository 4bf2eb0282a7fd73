#include <string>

#include "check_platform.h"
#include "platform/posix/font_faces.h"

namespace velloway::check {

CheckEnvironment MachineEnvironment(std::string scriptFolder) {
  CheckEnvironment environment;
  environment.ScriptFolder = std::move(scriptFolder);
  // As the Linux program reads them.
  environment.FileNames = platform::ScriptFileNames::Posix;
  environment.FindFont = [](std::string_view face) {
    const posix::FaceMatch match = posix::MatchFace(face);
    // A metric-compatible face lays the lines out as the named one does on Windows; a Japanese
    // face stands in for a Windows Japanese one as a Japanese system's own would.
    return FontLookup{match.Installed || match.SameMetrics || match.JapaneseStandIn, match.ShownIn};
  };
  environment.InstalledCharacters = posix::InstalledCharacters;
  environment.MusicFileKind = [](std::string_view path) {
    return platform::CheckedFile(std::string(path)).Kind();
  };
  return environment;
}

headless::HeadlessBackend::TextMetrics MachineTextMetrics() {
  return {};
}

}  // namespace velloway::check
