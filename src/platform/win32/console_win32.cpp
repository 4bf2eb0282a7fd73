// <windows.h> comes first: the other Windows headers rely on its definitions.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#include <stdio.h>

#include <memory>

#include "platform/console.h"
#include "platform/wide_text.h"

namespace velloway::platform {
namespace {

struct LocalFreeDeleter {
  void operator()(LPWSTR* p) const { LocalFree(p); }
};

}  // namespace

std::vector<std::string> ConsoleArguments(int, char**) {
  int count = 0;
  const std::unique_ptr<LPWSTR, LocalFreeDeleter> args(
      CommandLineToArgvW(GetCommandLineW(), &count));
  std::vector<std::string> result;
  for (int i = 1; args && i < count; ++i) result.push_back(WideToUtf8(args.get()[i]));
  return result;
}

void UseUtf8Console() {
  SetConsoleOutputCP(CP_UTF8);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

}  // namespace velloway::platform
