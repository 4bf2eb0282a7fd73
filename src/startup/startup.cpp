#include "startup/startup.h"

#include <cstdio>

#include "base/program_identity.h"
#include "dialogs/preview_window.h"
#include "dialogs/settings_dialog.h"
#include "forms/application.h"
#include "roll/saver_window.h"
#include "script/numbers.h"

namespace velloway {

ProgramWindows::ProgramWindows() = default;
ProgramWindows::~ProgramWindows() = default;

void RunProgram(platform::Backend& backend, platform::Desktop& desktop,
                std::string_view argumentText, ProgramWindows& windows) {
  forms::Application app(backend, backend.Settings());
  WriteInstallRecord(app, desktop.ProgramFolder());
  // Two starts at the same moment could both find no running copy: the look and the opening of
  // the window are one step among the starts, the next start looking only once this one's
  // window can be found. A start that cannot have the lock opens nothing.
  const std::unique_ptr<platform::RunningCopyLock> lock = desktop.ClaimRunningCopyLock();
  if (!lock) return;
  if (desktop.FindRunningCopy(identity::kRunningCopyCaptions))
    return;  // no window opens: the program ends

  const std::string_view programSwitch = argumentText.substr(0, 2);
  if (programSwitch == "/s" || programSwitch == "/S") {
    windows.Saver = std::make_unique<SaverWindow>(backend, ReadChosenScript(app, backend),
                                                  ReadRollOptions(app));
    windows.Saver->Show();
  } else if (programSwitch.empty() || programSwitch == "/c" || programSwitch == "/C") {
    app.RunWaitingEvents();
    windows.Dialog = std::make_unique<SettingsDialog>(backend);
    windows.Dialog->Show();
  } else if (programSwitch == "/p" || programSwitch == "/P") {
    if (const auto host = ParsePreviewHost(argumentText.substr(2))) {
      ShowPreview(backend, desktop, windows, *host);
    }
  }
}

void WriteInstallRecord(forms::Application& app, std::string_view programFolder) {
  const std::string version = InstallVersionText(
      forms::Application::Major(), forms::Application::Minor(), forms::Application::Revision());
  using namespace identity;
  app.SaveSetting(kAppName, kInstallSection, kApplicationPathKey, programFolder);
  app.SaveSetting(kAppName, kInstallSection, kCurrentVersionKey, version);
}

std::string InstallVersionText(std::int16_t major, std::int16_t minor, std::int16_t revision) {
  char text[32];
  std::snprintf(text, sizeof text, "%d.%02d.%04d", major, minor, revision);
  return text;
}

std::optional<platform::WindowId> ParsePreviewHost(std::string_view text) {
  // A window's number carries 32 bits; a host may print it signed or unsigned.
  constexpr double kLowest = -2147483648.0;
  constexpr double kHighest = 4294967295.0;
  const double value = RoundHalfEven(LeadingNumber(text));
  if (!(value >= kLowest && value <= kHighest) || value == 0) return std::nullopt;
  const auto bits = static_cast<std::uint32_t>(static_cast<std::int64_t>(value));
  return static_cast<platform::WindowId>(static_cast<std::int32_t>(bits));
}

void ShowPreview(platform::Backend& backend, platform::Desktop& desktop, ProgramWindows& windows,
                 platform::WindowId host) {
  // A host that is no window would leave a stray window on the desktop that never ends; the
  // desktop itself is no preview pane.
  if (!desktop.HostExists(host)) return;
  windows.Preview = std::make_unique<PreviewWindow>(backend, desktop);
  PreviewWindow& preview = *windows.Preview;
  preview.Load();
  preview.EmbedIn(host);
  preview.Show();
  // Shown, the preview may have taken the activation: the window that owns the pane (the
  // system's screen-saver settings) gets it back.
  desktop.ActivateOwnerOf(host);
  preview.WatchHost(host);
}

}  // namespace velloway
