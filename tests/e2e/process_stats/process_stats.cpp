// process_stats: counts the GDI objects and the windows of the process that owns a top-level
// window, for the soak test. Given the window's caption, it prints one line:
//
//   PID=<process id> GDI=<live GDI handles> USER=<windows>
//
// or "ERROR ..." on stderr with exit status 1. GetGuiResources and GetProcessHandleCount are
// stubs under Wine (they answer 0), so the counts are read directly:
// - GDI: Wine keeps each process's GDI handle table where the process's PEB says
//   (GdiSharedHandleTable); a live entry has a type. Read from the other process's memory.
// - USER: the windows the process owns, top-level and children. Windows are the user objects
//   the saver makes at run time (its lines are drawn, not windows), so they are what it could
//   leak.
#include <windows.h>

#include <shellapi.h>
#include <winternl.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace {

// One entry of the GDI handle table, as Wine lays it out; the shared table of Windows has the
// same size and the owner's process id in the low 16 bits of Owner.
struct GdiHandleEntry {
  std::uint64_t Object;
  std::uint32_t Owner;
  std::uint16_t Unique;
  std::uint8_t Type;
  std::uint8_t Flags;
  std::uint64_t UserPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24);
constexpr std::size_t kGdiHandles = 0x10000;
constexpr std::size_t kPebGdiTableOffset = 0xF8;  // PEB::GdiSharedHandleTable, x64

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

struct ArgvFree {
  void operator()(LPWSTR* argv) const { LocalFree(argv); }
};

int Fail(const std::string& what) {
  std::fprintf(stderr, "ERROR %s (error %lu)\n", what.c_str(), GetLastError());
  return 1;
}

bool Read(HANDLE process, std::uintptr_t address, void* into, std::size_t size) {
  SIZE_T got = 0;
  return ReadProcessMemory(process, reinterpret_cast<LPCVOID>(address), into, size, &got) &&
         got == size;
}

// Under Wine every process has a table of its own; on Windows it is shared by all.
bool UnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The live GDI handles of a process, or -1 when its table cannot be read.
long long CountGdiObjects(DWORD pid) {
  const UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
  if (!process) return -1;
  PROCESS_BASIC_INFORMATION basic{};
  if (!NT_SUCCESS(NtQueryInformationProcess(process.get(), ProcessBasicInformation, &basic,
                                            sizeof(basic), nullptr))) {
    return -1;
  }
  std::uint64_t table = 0;
  if (!Read(process.get(),
            reinterpret_cast<std::uintptr_t>(basic.PebBaseAddress) + kPebGdiTableOffset, &table,
            sizeof(table)) ||
      table == 0) {
    return -1;
  }
  std::vector<GdiHandleEntry> entries(kGdiHandles);
  if (!Read(process.get(), static_cast<std::uintptr_t>(table), entries.data(),
            entries.size() * sizeof(GdiHandleEntry))) {
    return -1;
  }
  const bool ownTable = UnderWine();
  long long live = 0;
  for (const GdiHandleEntry& entry : entries) {
    if (entry.Type != 0 && (ownTable || (entry.Owner & 0xFFFFu) == (pid & 0xFFFFu))) ++live;
  }
  return live;
}

struct WindowCount {
  DWORD pid;
  long long count;
};

BOOL CALLBACK CountIfOwned(HWND window, LPARAM data) {
  auto& windows = *reinterpret_cast<WindowCount*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == windows.pid) ++windows.count;
  return TRUE;
}

// Children are looked for under every top-level window: a window of this process may sit inside
// another process's window.
BOOL CALLBACK CountTopLevel(HWND window, LPARAM data) {
  CountIfOwned(window, data);
  EnumChildWindows(window, CountIfOwned, data);
  return TRUE;
}

long long CountWindows(DWORD pid) {
  WindowCount windows{pid, 0};
  EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&windows));
  return windows.count;
}

}  // namespace

int main() {
  int argc = 0;
  const std::unique_ptr<LPWSTR, ArgvFree> argv(CommandLineToArgvW(GetCommandLineW(), &argc));
  if (!argv || argc != 2) {
    std::fputs("usage: process_stats <caption of a top-level window>\n", stderr);
    return 2;
  }
  const HWND window = FindWindowW(nullptr, argv.get()[1]);
  if (window == nullptr) return Fail("no window of that caption");
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  const long long gdi = CountGdiObjects(pid);
  if (gdi < 0) return Fail("cannot read the GDI handle table of process " + std::to_string(pid));
  std::printf("PID=%lu GDI=%lld USER=%lld\n", pid, gdi, CountWindows(pid));
  return 0;
}
