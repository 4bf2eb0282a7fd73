#include "programs/windows/command_line.h"

namespace velloway::win32 {
namespace {

bool IsBlank(wchar_t c) {
  return c == L' ' || c == L'\t';
}

}  // namespace

std::wstring_view ArgumentText(std::wstring_view commandLine) {
  std::size_t position = 0;
  if (!commandLine.empty() && commandLine.front() == L'"') {
    const std::size_t closing = commandLine.find(L'"', 1);
    position = closing == std::wstring_view::npos ? commandLine.size() : closing + 1;
  } else {
    while (position < commandLine.size() && !IsBlank(commandLine[position])) ++position;
  }
  while (position < commandLine.size() && IsBlank(commandLine[position])) ++position;
  return commandLine.substr(position);
}

}  // namespace velloway::win32
