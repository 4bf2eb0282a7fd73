#include "programs/render/render_options.h"

#include <array>
#include <charconv>
#include <cmath>
#include <utility>

#include "base/utf8.h"
#include "platform/codepage.h"

namespace velloway::render {
namespace {

constexpr int kMinSide = 16;
constexpr int kMaxWidth = 7680;
constexpr int kMaxHeight = 4320;
constexpr int kMaxFps = 120;
constexpr int kMinDpi = 48;
constexpr int kMaxDpi = 480;
constexpr int kMaxLoops = 1000;
// A GIF's frame lasts whole hundredths of a second, and players show frames of less than two
// hundredths for a tenth.
constexpr int kGifTicksPerSecond = 100;
constexpr int kGifShortestFrame = 2;

ParsedRender Failure(std::string message) {
  return {std::nullopt, std::move(message)};
}

std::optional<int> Whole(std::string_view text, int least, int most) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < least ||
      value > most) {
    return std::nullopt;
  }
  return value;
}

std::optional<double> Seconds(std::string_view text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
      !std::isfinite(value) || value <= 0 || value > kMaxFilmSeconds) {
    return std::nullopt;
  }
  return value;
}

// Even sides: the videos' colours are stored at half the resolution.
bool ReadSize(std::string_view text, RenderOptions& options) {
  const std::size_t x = text.find('x');
  if (x == std::string_view::npos) return false;
  const auto width = Whole(text.substr(0, x), kMinSide, kMaxWidth);
  const auto height = Whole(text.substr(x + 1), kMinSide, kMaxHeight);
  if (!width || !height || *width % 2 != 0 || *height % 2 != 0) return false;
  options.Width = *width;
  options.Height = *height;
  return true;
}

// One "%d" or "%0Nd" and no other "%": the frame's number.
bool HoldsOneNumber(std::string_view name) {
  const std::size_t percent = name.find('%');
  if (percent == std::string_view::npos) return false;
  std::size_t end = percent + 1;
  while (end < name.size() && name[end] >= '0' && name[end] <= '9') ++end;
  return end < name.size() && name[end] == 'd' && name.find('%', end) == std::string_view::npos;
}

}  // namespace

const char kUsage[] =
    "Usage: velloway-render SCRIPT -o FILE [--size WxH] [--fps N] [--dpi N] [--loops N]\n"
    "                      [--duration SECONDS] [--codepage N] [--quiet] [--force]\n"
    "Makes a video of a Velloway roll script, as the saver plays it with smooth motion,\n"
    "with its music. The format follows FILE's name:\n"
    "  .mp4              H.264 with AAC sound: plays everywhere\n"
    "  .webm             VP9 with Opus sound: for web pages\n"
    "  .mov              ProRes 422 HQ with PCM sound: for video editors\n"
    "  .gif              an animated picture, without sound\n"
    "  frames/%05d.png   a numbered picture a frame, from 00001 (the folder must exist)\n"
    "  -o FILE           the film to make\n"
    "  --size WxH        the screen, in pixels, even numbers (default 1920x1080)\n"
    "  --fps N           frames a second, 1 to 120 (default 50; a GIF takes 50, 25, 20, 10,\n"
    "                    5, 4, 2 or 1)\n"
    "  --dpi N           the screen's dots per inch, 48 to 480 (default 96): the text's size\n"
    "  --loops N         passes of the script (default 1); the film ends when the last\n"
    "                    pass's lines have left the screen, or its final WAIT has passed\n"
    "  --duration SECS   cut the film after that many seconds\n"
    "  --codepage N      the code page of a script saved in a legacy encoding (932 for\n"
    "                    Shift-JIS, 1252 for Western European; default: from the locale)\n"
    "  --quiet           no progress bar\n"
    "  --force           replace FILE if it exists\n";

std::optional<FilmFormat> FormatOfName(std::string_view output) {
  static constexpr std::array<std::pair<std::string_view, FilmFormat>, 4> kExtensions = {{
      {".MP4", FilmFormat::Mp4},
      {".WEBM", FilmFormat::WebM},
      {".MOV", FilmFormat::Mov},
      {".GIF", FilmFormat::Gif},
  }};
  const std::size_t dot = output.rfind('.');
  if (dot == std::string_view::npos) return std::nullopt;
  const std::string_view extension = output.substr(dot);
  if (HoldsOneNumber(output)) {
    if (utf8::EqualsIgnoringCase(extension, ".PNG")) return FilmFormat::PngSequence;
    return std::nullopt;
  }
  if (output.find('%') != std::string_view::npos) return std::nullopt;
  for (const auto& [name, format] : kExtensions) {
    if (utf8::EqualsIgnoringCase(extension, name)) return format;
  }
  return std::nullopt;
}

ParsedRender ParseRenderOptions(std::span<const std::string> args) {
  RenderOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    const auto value = [&]() -> std::optional<std::string_view> {
      if (i + 1 >= args.size()) return std::nullopt;
      return std::string_view(args[++i]);
    };
    if (arg == "-o" || arg == "--output") {
      const auto text = value();
      if (!text || text->empty()) return Failure("-o needs the file to make");
      options.Output = *text;
    } else if (arg == "--size") {
      const auto text = value();
      if (!text || !ReadSize(*text, options)) {
        return Failure("--size takes WIDTHxHEIGHT in even numbers of pixels, from 16x16 to " +
                       std::to_string(kMaxWidth) + "x" + std::to_string(kMaxHeight));
      }
    } else if (arg == "--fps") {
      const auto fps = Whole(value().value_or(""), 1, kMaxFps);
      if (!fps) return Failure("--fps takes a number of frames a second from 1 to 120");
      options.Fps = *fps;
    } else if (arg == "--dpi") {
      const auto dpi = Whole(value().value_or(""), kMinDpi, kMaxDpi);
      if (!dpi) return Failure("--dpi takes a number from 48 to 480");
      options.Dpi = *dpi;
    } else if (arg == "--loops") {
      const auto loops = Whole(value().value_or(""), 1, kMaxLoops);
      if (!loops) return Failure("--loops takes a number of passes from 1 to 1000");
      options.Loops = *loops;
    } else if (arg == "--duration") {
      options.DurationSeconds = Seconds(value().value_or(""));
      if (!options.DurationSeconds) {
        return Failure("--duration takes a number of seconds above 0, up to 12 hours");
      }
    } else if (arg == "--codepage") {
      const auto text = value();
      options.CodePage = text ? platform::ParseCodePage(*text) : std::nullopt;
      if (!options.CodePage) return Failure("--codepage needs a code page number, such as 932");
    } else if (arg == "--quiet" || arg == "-q") {
      options.Quiet = true;
    } else if (arg == "--force" || arg == "-f") {
      options.Force = true;
    } else if (arg == "--help" || arg == "-h") {
      options.Help = true;
    } else if (options.Script.empty() && !arg.starts_with("-")) {
      options.Script = arg;
    } else {
      return Failure("unknown argument \"" + args[i] + "\"");
    }
  }
  if (options.Help) return {std::move(options), {}};
  if (options.Script.empty()) return Failure("which script?");
  if (options.Output.empty()) return Failure("-o FILE: which film to make?");
  const auto format = FormatOfName(options.Output);
  if (!format) {
    return Failure("\"" + options.Output +
                   "\": the name should end in .mp4, .webm, .mov or .gif, or be a numbered "
                   "picture such as frames/%05d.png");
  }
  options.Format = *format;
  if (options.Format == FilmFormat::Gif && (kGifTicksPerSecond % options.Fps != 0 ||
                                            kGifTicksPerSecond / options.Fps < kGifShortestFrame)) {
    return Failure(
        "a GIF's frames last whole hundredths of a second, at least two: --fps 50, "
        "25, 20, 10, 5, 4, 2 or 1");
  }
  return {std::move(options), {}};
}

}  // namespace velloway::render
