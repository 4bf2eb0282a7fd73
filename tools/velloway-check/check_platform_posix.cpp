#include <memory>
#include <string>

#include "check_platform.h"
#include "platform/posix/font_faces.h"
#include "platform/posix/pango_text.h"

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

headless::HeadlessBackend::TextMetrics MachineTextMetrics(int dpiY) {
  // Pango, as the Linux program and the renderer set their lines, shared by every measurement of
  // one run.
  auto text = std::make_shared<posix::PangoText>(dpiY);
  return [text](const platform::FontSpec& font, std::string_view line) {
    return text->Measure(font, line);
  };
}

}  // namespace velloway::check
