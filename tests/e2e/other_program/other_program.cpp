// other_program: the end-to-end tests' stand-in for other programs that act while a screen saver
// runs. It opens no window of its own, so it takes no activation from the saver. One request per
// run, named by the arguments:
//
//   mode <width> <height>     changes the display mode (ChangeDisplaySettingsW), as a game does:
//                             "RESULT <ChangeDisplaySettingsW's result>"
//   minimize <caption>        ShowWindow(SW_MINIMIZE) on that top-level window, as "show
//                             desktop" does: "RESULT 0"
//   sysminimize <caption>     sends it WM_SYSCOMMAND SC_MINIMIZE, as a taskbar menu does:
//                             "RESULT <the window's answer>" once it has answered
//   deactivate                gives the activation to no window (SetForegroundWindow of the
//                             desktop window), as a focus moving to a window outside Wine does:
//                             "RESULT <SetForegroundWindow's result>"
//   together <n> <command>    starts n copies of a command line suspended and lets them go at
//                             the same moment; once at most one still runs, or after 10 s, one
//                             line for each: "COPY running" or "COPY exit=<status>"
//
// A failure prints "ERROR <text>" and exits 1.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

// How long the saver may take to answer a sent request before it counts as hung.
constexpr UINT kSendTimeoutMs = 5000;
// How long copies started together get to settle: the ones refused end within it.
constexpr DWORD kSettleMs = 10000;

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

std::wstring Wide(const char* text) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size > 0 ? size : 1), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), size);
  out.resize(out.size() - 1);  // the NUL
  return out;
}

int Result(long long value) {
  std::printf("RESULT %lld\n", value);
  return 0;
}

int Fail(const std::string& text) {
  std::printf("ERROR %s\n", text.c_str());
  return 1;
}

int ChangeMode(int width, int height) {
  DEVMODEW mode{};
  mode.dmSize = sizeof(mode);
  mode.dmPelsWidth = static_cast<DWORD>(width);
  mode.dmPelsHeight = static_cast<DWORD>(height);
  mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
  return Result(ChangeDisplaySettingsW(&mode, 0));
}

int Minimize(const char* caption, bool throughSystemMenu) {
  const HWND window = FindWindowW(nullptr, Wide(caption).c_str());
  if (window == nullptr) return Fail(std::string("no window ") + caption);
  if (!throughSystemMenu) {
    ShowWindow(window, SW_MINIMIZE);
    return Result(0);
  }
  DWORD_PTR answer = 0;
  if (SendMessageTimeoutW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                          &answer) == 0) {
    return Fail("no answer, error " + std::to_string(GetLastError()));
  }
  return Result(static_cast<long long>(answer));
}

int Deactivate() {
  return Result(SetForegroundWindow(GetDesktopWindow()));
}

int StartTogether(int count, const char* commandLine) {
  std::vector<UniqueHandle> processes;
  std::vector<UniqueHandle> threads;
  for (int i = 0; i < count; ++i) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    std::wstring line = Wide(commandLine);
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        nullptr, &startup, &started)) {
      return Fail("CreateProcessW failed with error " + std::to_string(GetLastError()));
    }
    processes.emplace_back(started.hProcess);
    threads.emplace_back(started.hThread);
  }
  for (const UniqueHandle& thread : threads) ResumeThread(thread.get());
  const auto running = [&] {
    int n = 0;
    for (const UniqueHandle& process : processes) {
      n += WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT ? 1 : 0;
    }
    return n;
  };
  const ULONGLONG deadline = GetTickCount64() + kSettleMs;
  while (running() > 1 && GetTickCount64() < deadline) Sleep(20);
  for (const UniqueHandle& process : processes) {
    DWORD status = 0;
    GetExitCodeProcess(process.get(), &status);
    if (status == STILL_ACTIVE) {
      std::printf("COPY running\n");
    } else {
      std::printf("COPY exit=%lu\n", status);
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string request = argc > 1 ? argv[1] : "";
  if (request == "mode" && argc == 4) return ChangeMode(std::atoi(argv[2]), std::atoi(argv[3]));
  if ((request == "minimize" || request == "sysminimize") && argc == 3) {
    return Minimize(argv[2], request == "sysminimize");
  }
  if (request == "deactivate" && argc == 2) return Deactivate();
  if (request == "together" && argc == 4) return StartTogether(std::atoi(argv[2]), argv[3]);
  return Fail(
      "usage: mode <width> <height> | minimize <caption> | sysminimize <caption> | deactivate | "
      "together <n> <command line>");
}
