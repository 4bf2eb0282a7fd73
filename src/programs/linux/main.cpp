// velloway: the Linux program, a hack in XScreenSaver's sense. With --root it plays in the
// window the daemon gives it and draws only; with no place it plays full screen and ends on
// input, as the Windows saver does; --window plays in an ordinary window, and with --watch
// starts again each time the script is saved.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/codepage.h"
#include "platform/console.h"
#include "platform/x11/x11_backend.h"
#include "programs/linux/launch_options.h"
#include "programs/linux/watched_roll.h"
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

}  // namespace

int main(int argc, char** argv) {
  using namespace velloway;
  const std::vector<std::string> args = platform::ConsoleArguments(argc, argv);
  const linux::ParsedLaunch parsed = linux::ParseLaunchOptions(args);
  if (!parsed.Options) {
    std::fprintf(stderr, "velloway: %s\n%s", parsed.Error.c_str(), linux::kUsage);
    return 2;
  }
  const linux::LaunchOptions& options = *parsed.Options;
  if (options.Help) {
    std::fputs(linux::kUsage, stdout);
    return 0;
  }
  std::error_code error;
  const std::filesystem::path script = std::filesystem::absolute(
      options.Script.empty()
          ? DefaultScript()
          : std::filesystem::path(std::u8string(options.Script.begin(), options.Script.end())),
      error);
  const std::u8string folder = script.parent_path().u8string();
  const std::u8string name = script.filename().u8string();

  x11::BackendSetup setup;
  setup.Stage = options.Stage;
  setup.Host = options.Stage == platform::StageKind::Root ? DaemonWindow() : options.WindowId;
  setup.ScriptDirectory.assign(folder.begin(), folder.end());
  setup.CodePage = options.CodePage.value_or(platform::SystemCodePage());
  try {
    if (options.Watch) {
      x11::X11Backend backend(std::move(setup));
      const linux::WatchedRoll roll(backend, *backend.StageHost(),
                                    std::string(name.begin(), name.end()), options.Roll);
      return backend.RunEventLoop();
    }
    LoadedScript loaded = LoadChosenScript(setup.ScriptDirectory,
                                           std::string(name.begin(), name.end()), setup.CodePage);
    x11::X11Backend backend(std::move(setup));
    SaverWindow saver(backend, std::move(loaded), options.Roll);
    saver.Load();
    if (const auto host = backend.StageHost()) saver.EmbedIn(*host);
    saver.Show();
    return backend.RunEventLoop();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "velloway: %s\n", e.what());
    return 1;
  }
}
