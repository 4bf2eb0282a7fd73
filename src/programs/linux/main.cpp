// velloway: the Linux program, a hack in XScreenSaver's sense. With --root it plays in the
// window the daemon gives it and draws only; with no place it plays full screen and ends on
// input, as the Windows saver does, on Wayland or X11; --window plays in an ordinary window, and
// with --watch starts again each time the script is saved; with --when-idle it stays in the
// session and plays full screen each time the desktop has been idle that long.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>

// Before Xlib, whose macros would rename the seam's names.
#include "platform/wayland/wayland_backend.h"
#include "platform/x11/x11_backend.h"

#include "base/utf8_path.h"
#include "platform/codepage.h"
#include "platform/console.h"
#include "programs/linux/display_choice.h"
#include "programs/linux/launch_options.h"
#include "programs/linux/watched_roll.h"
#include "programs/linux/when_idle.h"
#include "roll/saver_window.h"
#include "script/script_loader.h"

namespace {

// The shipped samples: where the installation puts them, counted from the program's own place.
std::filesystem::path DefaultScript() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  return program.parent_path() / VELLOWAY_SAMPLES_FROM_PROGRAM / "Default.vws";
}

// The window the screen-saver daemon gives its hack to draw in; 0 (the root window) without one.
std::uint32_t DaemonWindow() {
  const char* value = std::getenv("XSCREENSAVER_WINDOW");
  if (value == nullptr) return 0;
  return velloway::linux::ParseWindowId(value).value_or(0);
}

// The roll on a backend's stage: the script read at the start, or, with --watch, read at each
// save.
template <typename Backend>
int Play(Backend& backend, const velloway::linux::LaunchOptions& options, const std::string& script,
         std::optional<velloway::LoadedScript> loaded) {
  using namespace velloway;
  if (!loaded) {
    const linux::WatchedRoll roll(backend, *backend.StageHost(), script, options.Roll);
    return backend.RunEventLoop();
  }
  SaverWindow saver(backend, std::move(*loaded), options.Roll);
  saver.Load();
  if (const auto host = backend.StageHost()) saver.EmbedIn(*host);
  saver.Show();
  return backend.RunEventLoop();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace velloway;
  const std::vector<std::string> args = platform::ConsoleArguments(argc, argv);
  const linux::ParsedLaunch parsed = linux::ParseLaunchOptions(args);
  if (!parsed.Options) return platform::ReportUsageError(linux::kLaunchCommandLine, parsed.Error);
  const linux::LaunchOptions& options = *parsed.Options;
  if (options.Help || options.Version) {
    return platform::PrintHelpOrVersion(linux::kLaunchCommandLine, options.Help);
  }
  std::error_code error;
  const std::filesystem::path script = std::filesystem::absolute(
      options.Script.empty() ? DefaultScript() : utf8::ToPath(options.Script), error);

  // Its folder holds the music it names.
  const std::string scriptDirectory = utf8::FromPath(script.parent_path());
  const unsigned codePage = options.CodePage.value_or(platform::SystemCodePage());
  // One roll, on the display chosen as it starts, of the script as it is then (with --when-idle,
  // each time).
  const auto playRoll = [&] {
    std::optional<LoadedScript> loaded;
    if (!options.Watch) loaded = LoadScriptFile(utf8::FromPath(script), codePage);
    wayland::Compositor compositor;
    const linux::DisplaySystem display =
        linux::ChooseDisplay(options, std::getenv("XSCREENSAVER_WINDOW") != nullptr, [&] {
          compositor = wayland::Connect();
          return compositor != nullptr;
        });
    if (display == linux::DisplaySystem::Wayland) {
      if (!compositor) compositor = wayland::Connect();
      if (!compositor) throw std::runtime_error("no Wayland compositor answers at WAYLAND_DISPLAY");
      wayland::WaylandBackend backend(std::move(compositor),
                                      {options.Stage, options.Output, scriptDirectory, codePage});
      return Play(backend, options, utf8::FromPath(script), std::move(loaded));
    }
    x11::BackendSetup setup;
    setup.Stage = options.Stage;
    setup.Host = options.Stage == platform::StageKind::Root ? DaemonWindow() : options.WindowId;
    setup.ScriptDirectory = scriptDirectory;
    setup.CodePage = codePage;
    x11::X11Backend backend(std::move(setup));
    return Play(backend, options, utf8::FromPath(script), std::move(loaded));
  };
  try {
    if (options.WhenIdle) return linux::PlayWhenIdle(*options.WhenIdle, playRoll);
    return playRoll();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "velloway: %s\n", e.what());
    return 1;
  }
}
