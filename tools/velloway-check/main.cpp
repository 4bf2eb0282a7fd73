// velloway-check: reads a roll script as the saver would and reports what it noticed.
#include <cstdio>
#include <string>

#include "check_report.h"
#include "platform/codepage.h"
#include "platform/console.h"
#include "script/script_loader.h"

namespace {

constexpr const char* kUsage =
    "Usage: velloway-check [--json] SCRIPT\n"
    "\n"
    "Reads a Velloway roll script (.vws) exactly as the saver does and prints what would\n"
    "surprise its writer, one line each: FILE:LINE: severity: message.\n"
    "\n"
    "  --json   print the header and the records as loaded, as JSON, on standard output\n"
    "           (the diagnostics then go to standard error)\n"
    "  --help   print this help\n"
    "\n"
    "Exit status: 0 the script is clean, 1 it has diagnostics, 2 it cannot be read\n"
    "(or the command line is wrong).\n";

void Print(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace velloway;
  platform::UseUtf8Console();
  bool json = false;
  std::string file;
  for (const std::string& arg : platform::ConsoleArguments(argc, argv)) {
    if (arg == "--help" || arg == "-h") {
      Print(stdout, kUsage);
      return check::kClean;
    }
    if (arg == "--json") {
      json = true;
    } else if (file.empty() && !arg.starts_with("--")) {
      file = arg;
    } else {
      Print(stderr, "velloway-check: unexpected argument: " + arg + "\n\n" + kUsage);
      return check::kUnreadable;
    }
  }
  if (file.empty()) {
    Print(stderr, kUsage);
    return check::kUnreadable;
  }

  const LoadedScript script = LoadScriptFile(file, platform::SystemCodePage());
  if (json) Print(stdout, check::ScriptJson(file, script));
  Print(json ? stderr : stdout, check::DiagnosticLines(file, script));
  return check::ExitStatus(script);
}
