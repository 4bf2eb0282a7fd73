#include <windows.h>

#include <memory>

#include "check_platform.h"
#include "platform/wide_text.h"
#include "platform/win32/font_coverage.h"
#include "platform/win32/gdi_canvas.h"
#include "platform/win32/win32_handles.h"

namespace velloway::check {
namespace {

bool FontInstalled(std::string_view face) {
  LOGFONTW font{};
  font.lfCharSet = DEFAULT_CHARSET;
  const std::wstring name = platform::Utf8ToWide(face);
  if (name.empty() || name.size() >= LF_FACESIZE) return false;
  name.copy(font.lfFaceName, name.size());
  const win32::ScreenDc screen;
  bool found = false;
  EnumFontFamiliesExW(
      screen.Get(), &font,
      [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM data) -> int {
        *reinterpret_cast<bool*>(data) = true;
        return 0;
      },
      reinterpret_cast<LPARAM>(&found), 0);
  return found;
}

}  // namespace

CheckEnvironment MachineEnvironment(std::string scriptFolder) {
  CheckEnvironment environment;
  environment.ScriptFolder = std::move(scriptFolder);
  environment.FindFont = [](std::string_view face) { return FontLookup{FontInstalled(face), {}}; };
  environment.InstalledCharacters = win32::InstalledCharacters;
  environment.MusicFileKind = [](std::string_view path) {
    return platform::CheckedFile(std::string(path)).Kind();
  };
  return environment;
}

headless::HeadlessBackend::TextMetrics MachineTextMetrics(int dpiY) {
  // The saver's own fonts, shared by every measurement of one run.
  auto fonts = std::make_shared<win32::FontCache>(dpiY);
  return [fonts](const platform::FontSpec& font, std::string_view text) {
    return fonts->Measure(font, text);
  };
}

}  // namespace velloway::check
