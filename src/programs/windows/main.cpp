// velloway.scr: the Windows program. Windows starts a screen saver with its switch ("/s", "/p",
// "/c" ...) after the program's path.
#include <windows.h>

#include <string>

#include "platform/wide_text.h"
#include "platform/win32/win32_backend.h"
#include "programs/windows/command_line.h"
#include "startup/startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  velloway::win32::Win32Backend backend(instance);
  // After the backend: the windows go before the backend they live on.
  velloway::ProgramWindows windows;
  const std::string arguments =
      velloway::platform::WideToUtf8(velloway::win32::ArgumentText(GetCommandLineW()));
  velloway::RunProgram(backend, arguments, windows);
  return backend.RunMessageLoop();
}
