#pragma once
// The command line of velloway-check.
#include <optional>
#include <span>
#include <string>

#include "platform/long_options.h"
#include "platform/screens.h"

namespace velloway::check {

struct CheckOptions {
  bool Json = false;
  bool Timeline = false;
  platform::ScreenMetrics Screen;
  std::optional<int> LineHeight;     // unset: the real fonts
  std::optional<unsigned> CodePage;  // unset: the system's
  std::string File;
  bool Help = false;
  bool Version = false;
};

struct ParsedCheck {
  std::optional<CheckOptions> Options;
  std::string Error;  // why there are no options
};

// The program's options and help.
extern const platform::CommandLine kCheckCommandLine;

// Reads the arguments (without the program's path).
ParsedCheck ParseCheckOptions(std::span<const std::string> args);

}  // namespace velloway::check
