#pragma once
// The one reader of the command lines of the programs run from a terminal (velloway,
// velloway-check, velloway-render), through getopt_long: "--name VALUE" and "--name=VALUE", "--"
// before an operand that starts with a dash, --help and --version on every program, and one
// wording for what is wrong. The Windows saver's /s /c /p switches keep their own reader
// (programs/windows/command_line).
#include <charconv>
#include <concepts>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velloway::platform {

// One option of a program, as the reader takes it and the help shows it.
struct LongOption {
  std::string_view Name{};   // without its dashes: "script"
  std::string_view Value{};  // its value as the help names it ("FILE"); empty for a switch
  // What its value must be, as an error says it: "a number from 48 to 480".
  std::string_view Takes{};
  // What it does, for the help: lines of at most 56 characters, broken with '\n'.
  std::string_view Help{};
  char Letter = 0;  // its one-letter form ('o' for -o), if it has one
};

// A program's command line: its options and its help.
struct CommandLine {
  std::string_view Program{};  // "velloway-render"
  // What follows the program's name in its ways to be called, one a line.
  std::string_view Usage{};
  std::string_view About{};  // what the program does: the help's paragraph before the options
  std::span<const LongOption> Options{};
  // What it takes besides options ("SCRIPT"), one at most; empty when it takes nothing.
  std::string_view Operand{};
  std::string_view Closing{};  // the help's last paragraph (the exit status), if any
  // "-root" is "--root", as X programs take their options (getopt_long_only).
  bool OneDash = false;
};

// An option given: which of CommandLine::Options, and its value (empty for a switch).
struct GivenOption {
  std::size_t Index = 0;
  std::string Value;
};

struct ReadArguments {
  std::vector<GivenOption> Given;  // in the order given
  std::optional<std::string> Operand;
  // --help or --version came: what was given after it is not read.
  bool Help = false;
  bool Version = false;
  std::string Error;  // what is wrong, in the one wording; empty when all was read
};

// Reads the arguments (without the program's path). Values are checked by the program, which
// words a value it refuses with WrongValue.
ReadArguments ReadLongOptions(const CommandLine& line, std::span<const std::string> args);

// How a value the program refuses is said, in the reader's wording of what is wrong (unknown
// option, missing value, wrong value, unexpected argument): "--fps takes a number of frames a
// second from 1 to 120, not "1000"".
std::string WrongValue(const LongOption& option, std::string_view value);

// What --help prints, and what --version prints ("velloway-render 1.0.1000").
std::string HelpText(const CommandLine& line);
std::string VersionText(const CommandLine& line);

// Prints the help, or the version, on standard output; returns the program's exit status, 0.
int PrintHelpOrVersion(const CommandLine& line, bool help);
// Prints the program's name, the error and the help on standard error; returns the exit status
// of a program whose command line is wrong, 2.
int ReportUsageError(const CommandLine& line, std::string_view error);

// A whole number written out in full (base 10, or 16 without its "0x"), from least to most;
// nothing for any other text.
template <std::integral Number>
std::optional<Number> ReadWhole(std::string_view text, Number least, Number most, int base = 10) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < least ||
      value > most) {
    return std::nullopt;
  }
  return value;
}

// A number written out in full in decimals ("2.5", "0.5", "5"), above 0 and up to most; nothing
// for any other text.
std::optional<double> ReadDecimal(std::string_view text, double most);

// A screen's size as WIDTHxHEIGHT in pixels ("1920x1080"), each side from least to its most;
// nothing for any other text.
struct PixelSize {
  int Width = 0;
  int Height = 0;
};
std::optional<PixelSize> ReadSize(std::string_view text, int least, PixelSize most);

// --dpi N, the same in every program that sets text: the screen's dots per inch, which size it.
extern const LongOption kDpiOption;
std::optional<int> ReadDpi(std::string_view text);

// --codepage N, the same in every program: the code page of a script saved in a legacy encoding.
extern const LongOption kCodePageOption;
std::optional<unsigned> ReadCodePage(std::string_view text);

}  // namespace velloway::platform
