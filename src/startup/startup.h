#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "forms/application.h"
#include "platform/backend.h"
#include "platform/desktop.h"

namespace velloway {

class SaverWindow;
class SettingsDialog;
class PreviewWindow;

// The program's windows. They live as long as the program runs; the platform's entry point owns
// this object and runs the message loop after RunProgram has returned.
struct ProgramWindows {
  ProgramWindows();
  ~ProgramWindows();
  std::unique_ptr<SaverWindow> Saver;
  std::unique_ptr<SettingsDialog> Dialog;
  std::unique_ptr<PreviewWindow> Preview;
};

// The program's start: writes the installation record, refuses to run beside an open saver
// window or settings dialog (or without the running-copy lock), and opens the window that the
// switch at the start of argumentText (the command line without the program's path) asks for.
void RunProgram(platform::Backend& backend, platform::Desktop& desktop,
                std::string_view argumentText, ProgramWindows& windows);

// Writes "ApplicationPath" (programFolder) and "CurrentVersion" under "UpdateInfo".
void WriteInstallRecord(forms::Application& app, std::string_view programFolder);

// The version as the installation record holds it: "1.00.1000" for 1, 0, 1000.
std::string InstallVersionText(std::int16_t major, std::int16_t minor, std::int16_t revision);

// The host window named after "/p": its number read from the start of the text and rounded half
// to even; nothing when there is no usable window number (0, negative beyond 32 bits, or too
// large even read unsigned).
std::optional<platform::WindowId> ParsePreviewHost(std::string_view text);

// Embeds the preview into the host's pane, which it covers; ends quietly when the host is no
// window or the desktop.
void ShowPreview(platform::Backend& backend, platform::Desktop& desktop, ProgramWindows& windows,
                 platform::WindowId host);

}  // namespace velloway
