#include "platform/long_options.h"

#include <getopt.h>

#include <cstdio>
#include <string>

#include "forms/application.h"

namespace velloway::platform {
namespace {

// getopt's answer for an operand, when its letters begin with '-': operands come in their place.
constexpr int kOperandCode = 1;
// The long options' codes lie past every letter, so that no code is taken for a letter.
constexpr int kFirstOptionCode = 256;
// Where the help's text starts after an option's name, and its value.
constexpr std::size_t kHelpColumn = 22;

const LongOption kHelpOption{"help", "", "", "print this help", 'h'};
const LongOption kVersionOption{"version", "", "", "print the version"};

// Every option a program takes: its own, then --help and --version.
std::vector<const LongOption*> AllOptions(const CommandLine& line) {
  std::vector<const LongOption*> all;
  for (const LongOption& option : line.Options) all.push_back(&option);
  all.push_back(&kHelpOption);
  all.push_back(&kVersionOption);
  return all;
}

// The option a code of getopt stands for: a long option's code, or its letter; null for none.
const LongOption* OptionOfCode(const std::vector<const LongOption*>& all, int code) {
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (code == kFirstOptionCode + static_cast<int>(i) ||
        (all[i]->Letter != 0 && code == all[i]->Letter)) {
      return all[i];
    }
  }
  return nullptr;
}

// The arguments as getopt takes them: the program's name first and a null pointer last, each
// its own copy, which getopt may point into.
class ArgumentVector {
 public:
  ArgumentVector(std::string_view program, std::span<const std::string> args)
      : texts_(1, std::string(program)) {
    texts_.insert(texts_.end(), args.begin(), args.end());
    for (std::string& text : texts_) pointers_.push_back(text.data());
    pointers_.push_back(nullptr);
  }
  ArgumentVector(const ArgumentVector&) = delete;
  ArgumentVector& operator=(const ArgumentVector&) = delete;
  int Count() const { return static_cast<int>(texts_.size()); }
  char** Pointers() { return pointers_.data(); }
  const std::string& operator[](int i) const { return texts_[static_cast<std::size_t>(i)]; }

 private:
  std::vector<std::string> texts_;
  std::vector<char*> pointers_;
};

std::string Quoted(std::string_view text) {
  return "\"" + std::string(text) + "\"";
}

std::string OptionName(const LongOption& option) {
  return "--" + std::string(option.Name);
}

std::string HelpLabel(const LongOption& option) {
  std::string label = "  ";
  if (option.Letter != 0) label += std::string{'-', option.Letter} + ", ";
  label += OptionName(option);
  if (!option.Value.empty()) label += " " + std::string(option.Value);
  return label;
}

// The one wording of what is wrong; WrongValue, which the programs say, is its fourth.
std::string UnknownOption(std::string_view given) {
  return "unknown option " + Quoted(given);
}

std::string MissingValue(const LongOption& option) {
  return OptionName(option) + " needs a value: " + std::string(option.Takes);
}

std::string UnexpectedArgument(std::string_view given) {
  return "unexpected argument " + Quoted(given);
}

// An option's lines in the help: its label, and its text from kHelpColumn on; a label too long
// for that has its text on the lines below it.
std::string HelpEntry(const LongOption& option) {
  const std::string label = HelpLabel(option);
  const std::string indent(kHelpColumn, ' ');
  std::string entry = label.size() + 2 > kHelpColumn
                          ? label + "\n" + indent
                          : label + std::string(kHelpColumn - label.size(), ' ');
  std::string_view help = option.Help;
  for (std::size_t end = help.find('\n'); end != std::string_view::npos; end = help.find('\n')) {
    entry += std::string(help.substr(0, end)) + "\n" + indent;
    help.remove_prefix(end + 1);
  }
  return entry + std::string(help) + "\n";
}

}  // namespace

const LongOption kDpiOption{"dpi", "N", "a number from 48 to 480",
                            "the screen's dots per inch, 48 to 480 (default 96): the\n"
                            "text's size"};

std::optional<int> ReadDpi(std::string_view text) {
  return ReadWhole(text, 48, 480);
}

const LongOption kCodePageOption{"codepage", "N", "a code page number, such as 932",
                                 "the code page of a script saved in a legacy encoding\n"
                                 "(932 for Shift-JIS, 1252 for Western European; default:\n"
                                 "the system's, from the locale on Linux)"};

std::optional<unsigned> ReadCodePage(std::string_view text) {
  return ReadWhole<unsigned>(text, 1, 65535);
}

std::optional<double> ReadDecimal(std::string_view text, double most) {
  // Digits and a point only: no sign, exponent, "inf" or "nan".
  if (text.empty() || text.find_first_not_of("0123456789.") != std::string_view::npos) {
    return std::nullopt;
  }
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value <= 0 || value > most) {
    return std::nullopt;
  }
  return value;
}

std::optional<PixelSize> ReadSize(std::string_view text, int least, PixelSize most) {
  const std::size_t x = text.find('x');
  if (x == std::string_view::npos) return std::nullopt;
  const auto width = ReadWhole(text.substr(0, x), least, most.Width);
  const auto height = ReadWhole(text.substr(x + 1), least, most.Height);
  if (!width || !height) return std::nullopt;
  return PixelSize{*width, *height};
}

std::string WrongValue(const LongOption& option, std::string_view value) {
  if (option.Value.empty()) return OptionName(option) + " takes no value, not " + Quoted(value);
  return OptionName(option) + " takes " + std::string(option.Takes) + ", not " + Quoted(value);
}

ReadArguments ReadLongOptions(const CommandLine& line, std::span<const std::string> args) {
  const std::vector<const LongOption*> all = AllOptions(line);
  std::vector<std::string> names;
  names.reserve(all.size());
  std::vector<option> options;
  // A leading '-': operands come back in their place; ':' a missing value is told apart.
  std::string letters = "-:";
  for (std::size_t i = 0; i < all.size(); ++i) {
    const bool takesValue = !all[i]->Value.empty();
    names.emplace_back(all[i]->Name);
    options.push_back({names.back().c_str(), takesValue ? required_argument : no_argument, nullptr,
                       kFirstOptionCode + static_cast<int>(i)});
    if (all[i]->Letter != 0) letters += std::string{all[i]->Letter} + (takesValue ? ":" : "");
  }
  options.push_back({nullptr, 0, nullptr, 0});

  ArgumentVector argv(line.Program, args);
  ReadArguments read;
  const auto fail = [&read](std::string error) {
    read.Error = std::move(error);
    return read;
  };
  const auto take = [&](const std::string& operand) {
    if (line.Operand.empty() || read.Operand) return false;
    read.Operand = operand;
    return true;
  };
  // getopt keeps its place between calls: 0 starts it afresh (glibc and mingw-w64 alike). Its own
  // messages stay unsaid: the errors are worded here.
  optind = 0;
  opterr = 0;
  while (true) {
    const int code = line.OneDash ? getopt_long_only(argv.Count(), argv.Pointers(), letters.c_str(),
                                                     options.data(), nullptr)
                                  : getopt_long(argv.Count(), argv.Pointers(), letters.c_str(),
                                                options.data(), nullptr);
    if (code == -1) break;
    if (code == kOperandCode) {
      if (!take(optarg)) return fail(UnexpectedArgument(optarg));
      continue;
    }
    const bool wrong = code == '?' || code == ':';
    const LongOption* given = OptionOfCode(all, wrong ? optopt : code);
    // A switch given a value (--smooth=1): glibc answers '?', mingw-w64 ':'.
    if (wrong && given != nullptr && optopt >= kFirstOptionCode && given->Value.empty()) {
      const std::string& text = argv[optind - 1];
      return fail(WrongValue(*given, text.substr(text.find('=') + 1)));
    }
    if (code == ':') return fail(MissingValue(*given));
    if (code == '?') {
      return fail(UnknownOption(optopt != 0 ? std::string{'-', static_cast<char>(optopt)}
                                            : argv[optind - 1]));
    }
    if (given == &kHelpOption || given == &kVersionOption) {
      read.Help = given == &kHelpOption;
      read.Version = given == &kVersionOption;
      return read;
    }
    read.Given.push_back(
        {static_cast<std::size_t>(given - line.Options.data()), optarg != nullptr ? optarg : ""});
  }
  // After "--" every argument is an operand, even one that starts with a dash.
  for (int i = optind; i < argv.Count(); ++i) {
    if (!take(argv[i])) return fail(UnexpectedArgument(argv[i]));
  }
  return read;
}

// As GNU programs word it, which help2man reads: "Usage: PROGRAM ..." and "  or:  PROGRAM ...".
std::string HelpText(const CommandLine& line) {
  std::string help;
  std::string_view usage = line.Usage;
  while (true) {
    const std::size_t end = usage.find('\n');
    help += (help.empty() ? "Usage: " : "  or:  ") + std::string(line.Program) + " " +
            std::string(usage.substr(0, end)) + "\n";
    if (end == std::string_view::npos) break;
    usage.remove_prefix(end + 1);
  }
  help += std::string(line.About) + "\n";
  if (line.OneDash) {
    const std::string name(line.Options[0].Name);
    help += "Its options take one dash or two: -" + name + " is --" + name + ".\n";
  }
  help += "\nOptions:\n";
  for (const LongOption* option : AllOptions(line)) help += HelpEntry(*option);
  if (!line.Closing.empty()) help += "\n" + std::string(line.Closing) + "\n";
  return help;
}

std::string VersionText(const CommandLine& line) {
  return std::string(line.Program) + " " + std::to_string(forms::Application::Major()) + "." +
         std::to_string(forms::Application::Minor()) + "." +
         std::to_string(forms::Application::Revision()) + "\n";
}

int PrintHelpOrVersion(const CommandLine& line, bool help) {
  const std::string text = help ? HelpText(line) : VersionText(line);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}

int ReportUsageError(const CommandLine& line, std::string_view error) {
  constexpr int kUsageError = 2;
  const std::string text =
      std::string(line.Program) + ": " + std::string(error) + "\n\n" + HelpText(line);
  std::fwrite(text.data(), 1, text.size(), stderr);
  return kUsageError;
}

}  // namespace velloway::platform
