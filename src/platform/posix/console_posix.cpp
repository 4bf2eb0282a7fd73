#include "platform/console.h"

namespace velloway::platform {

std::vector<std::string> ConsoleArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void UseUtf8Console() {}

}  // namespace velloway::platform
