#include "startup/modSaver.h"

#include <cmath>
#include <cstdio>

#include "dialogs/frmConfig.h"
#include "dialogs/frmPrev.h"
#include "platform/forms.h"
#include "roll/frmMain.h"
#include "script/numbers.h"

namespace velloway {

ProgramWindows::ProgramWindows() = default;
ProgramWindows::~ProgramWindows() = default;

void Main(forms::Backend& backend, std::string_view argumentText, ProgramWindows& windows) {
  forms::Application app(backend);
  WriteInstallInfo(app);
  // Two starts at the same moment could both find no running copy: the look and the opening of
  // the window are one step among the starts, the next start looking only once this one's
  // window can be found. A start that cannot have the lock opens nothing.
  const std::unique_ptr<forms::RunningCopyLock> lock = backend.ClaimRunningCopyLock();
  if (!lock) return;
  constexpr std::string_view kRunningCopyCaptions[] = {"MAIN -+- Velloway", "CONFIG -+- Velloway"};
  if (backend.FindRunningCopy(kRunningCopyCaptions)) return;  // no window opens: the program ends

  const std::string_view sw = argumentText.substr(0, 2);
  if (sw == "/s" || sw == "/S") {
    windows.Saver = std::make_unique<frmMain>(backend);
    windows.Saver->Show();
  } else if (sw.empty() || sw == "/c" || sw == "/C") {
    app.DoEvents();
    windows.Config = std::make_unique<frmConfig>(backend);
    windows.Config->Show();
  } else if (sw == "/p" || sw == "/P") {
    if (const auto PreviewHost = ParsePreviewHost(argumentText.substr(2))) {
      ShowPreview(backend, windows, *PreviewHost);
    }
  }
}

void WriteInstallInfo(forms::Application& app) {
  const std::string version = InstallVersionText(
      forms::Application::Major(), forms::Application::Minor(), forms::Application::Revision());
  app.SaveSetting("Velloway", "UpdateInfo", "ApplicationPath", app.Path());
  app.SaveSetting("Velloway", "UpdateInfo", "CurrentVersion", version);
}

std::string InstallVersionText(std::int16_t major, std::int16_t minor, std::int16_t revision) {
  char text[32];
  std::snprintf(text, sizeof text, "%d.%02d.%04d", major, minor, revision);
  return text;
}

std::optional<forms::WindowId> ParsePreviewHost(std::string_view text) {
  // Window handles carry 32 bits; a host may print one signed or unsigned.
  constexpr double kLowest = -2147483648.0;
  constexpr double kHighest = 4294967295.0;
  const double value = RoundHalfEven(LeadingNumber(text));
  if (!(value >= kLowest && value <= kHighest) || value == 0) return std::nullopt;
  const auto bits = static_cast<std::uint32_t>(static_cast<std::int64_t>(value));
  return static_cast<forms::WindowId>(static_cast<std::int32_t>(bits));
}

void ShowPreview(forms::Backend& backend, ProgramWindows& windows, forms::WindowId PreviewHost) {
  // A host that is no window would leave a stray window on the desktop that never ends; the
  // desktop itself is no preview pane.
  if (!backend.HostExists(PreviewHost)) return;
  windows.Preview = std::make_unique<frmPrev>(backend);
  frmPrev& preview = *windows.Preview;
  preview.Load();
  preview.EmbedIn(PreviewHost);
  preview.Show();
  // The settings window that owns the pane keeps the keyboard, as it had it before.
  backend.ActivateOwnerOf(PreviewHost);
  preview.WatchHost(PreviewHost);
}

}  // namespace velloway
