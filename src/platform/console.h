#pragma once
#include <string>
#include <vector>

namespace velloway::platform {

// The program's arguments in UTF-8, without the program's own path. On Windows they are taken
// from the wide command line, so that any file name survives.
std::vector<std::string> ConsoleArguments(int argc, char** argv);

// Makes standard output and error take UTF-8 bytes unchanged (no code page or line-end
// translation), so the output is the same on every platform.
void UseUtf8Console();

}  // namespace velloway::platform
