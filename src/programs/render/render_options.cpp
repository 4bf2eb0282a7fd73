#include "programs/render/render_options.h"

#include <array>
#include <utility>

#include "base/utf8.h"
#include "programs/render/film_encoder.h"

namespace velloway::render {
namespace {

constexpr int kMinSide = 16;
constexpr int kMaxWidth = 7680;
constexpr int kMaxHeight = 4320;
constexpr int kMaxFps = 120;
constexpr int kMaxLoops = 1000;
// A GIF's frame lasts whole hundredths of a second, and players show frames of less than two
// hundredths for a tenth.
constexpr int kGifTicksPerSecond = 100;
constexpr int kGifShortestFrame = 2;

ParsedRender Failure(std::string message) {
  return {std::nullopt, std::move(message)};
}

// Even sides: the videos' colours are stored at half the resolution.
std::optional<platform::PixelSize> FilmSize(std::string_view text) {
  const auto size = platform::ReadSize(text, kMinSide, {kMaxWidth, kMaxHeight});
  if (!size || size->Width % 2 != 0 || size->Height % 2 != 0) return std::nullopt;
  return size;
}

// One "%d" or "%0Nd" and no other "%": the frame's number.
bool HoldsOneNumber(std::string_view name) {
  const std::size_t percent = name.find('%');
  if (percent == std::string_view::npos) return false;
  std::size_t end = percent + 1;
  while (end < name.size() && name[end] >= '0' && name[end] <= '9') ++end;
  return end < name.size() && name[end] == 'd' && name.find('%', end) == std::string_view::npos;
}

// The options, in the order of kOptions.
enum Option : std::size_t {
  kOutput,
  kSize,
  kFps,
  kDpi,
  kLoops,
  kDuration,
  kFit,
  kTransparent,
  kCodePage,
  kQuiet,
  kForce,
};

const std::array<platform::LongOption, 11> kOptions = {{
    {"output", "FILE", "the film's file", "the film to make", 'o'},
    {"size", "WxH", "WIDTHxHEIGHT in even numbers of pixels, from 16x16 to 7680x4320",
     "the screen, in pixels, even numbers (default 1920x1080)"},
    {"fps", "N", "a number of frames a second from 1 to 120",
     "frames a second, 1 to 120 (default 50; a GIF takes 50,\n"
     "25, 20, 10, 5, 4, 2 or 1)"},
    platform::kDpiOption,
    {"loops", "N", "a number of passes from 1 to 1000",
     "passes of the script (default 1); the film ends when the\n"
     "last pass's lines have left the screen, or its final\n"
     "WAIT has passed"},
    {"duration", "SECONDS", "a number of seconds above 0, up to 12 hours",
     "cut the film after that many seconds"},
    {"fit", "SECONDS", "a number of seconds above 0, up to 12 hours, or music",
     "one pass lasts SECONDS, to the frame: every line,\n"
     "spacing, WAIT and CLEAR at one speed, scaled from the\n"
     "script's; 'music': as long as the script's first music\n"
     "file, which then ends as the pass does"},
    {"transparent", "", "",
     "a clear background, to lay the film over a picture:\n"
     ".mov becomes ProRes 4444 with alpha, .webm VP9 with\n"
     "alpha, PNG pictures RGBA; a .gif gets one transparent\n"
     "colour, its edges hard; .mp4 has no alpha"},
    platform::kCodePageOption,
    {"quiet", "", "", "no progress bar", 'q'},
    {"force", "", "", "replace FILE if it exists", 'f'},
}};

}  // namespace

const platform::CommandLine kRenderCommandLine{
    .Program = "velloway-render",
    .Usage = "[OPTION]... SCRIPT -o FILE",
    .About =
        "Makes a video of a Velloway roll script, as the saver plays it with smooth\n"
        "motion, with its music. The format follows FILE's name:\n"
        "  .mp4              H.264 with AAC sound: plays everywhere\n"
        "  .webm             VP9 with Opus sound: for web pages\n"
        "  .mov              ProRes 422 HQ with PCM sound: for video editors\n"
        "  .gif              an animated picture, without sound\n"
        "  frames/%05d.png   a numbered picture a frame, from 00001, in a folder that\n"
        "                    exists",
    .Options = kOptions,
    .Operand = "SCRIPT",
};

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
  const platform::ReadArguments read = platform::ReadLongOptions(kRenderCommandLine, args);
  if (!read.Error.empty()) return Failure(read.Error);
  RenderOptions options;
  options.Help = read.Help;
  options.Version = read.Version;
  if (read.Help || read.Version) return {std::move(options), {}};
  options.Script = read.Operand.value_or("");
  for (const platform::GivenOption& given : read.Given) {
    const std::string& value = given.Value;
    const platform::LongOption& option = kOptions[given.Index];
    const auto refuse = [&] { return Failure(platform::WrongValue(option, value)); };
    switch (given.Index) {
      case kOutput:
        if (value.empty()) return refuse();
        options.Output = value;
        break;
      case kSize: {
        const auto size = FilmSize(value);
        if (!size) return refuse();
        options.Width = size->Width;
        options.Height = size->Height;
        break;
      }
      case kFps: {
        const auto fps = platform::ReadWhole(value, 1, kMaxFps);
        if (!fps) return refuse();
        options.Fps = *fps;
        break;
      }
      case kDpi: {
        const auto dpi = platform::ReadDpi(value);
        if (!dpi) return refuse();
        options.Dpi = *dpi;
        break;
      }
      case kLoops: {
        const auto loops = platform::ReadWhole(value, 1, kMaxLoops);
        if (!loops) return refuse();
        options.Loops = *loops;
        break;
      }
      case kDuration:
        options.DurationSeconds = platform::ReadDecimal(value, kMaxFilmSeconds);
        if (!options.DurationSeconds) return refuse();
        break;
      case kFit:
        if (value == "music") {
          options.Fit = FitLength{0, true};
        } else if (const auto seconds = platform::ReadDecimal(value, kMaxFilmSeconds)) {
          options.Fit = FitLength{*seconds, false};
        } else {
          return refuse();
        }
        break;
      case kTransparent:
        options.Transparent = true;
        break;
      case kCodePage:
        options.CodePage = platform::ReadCodePage(value);
        if (!options.CodePage) return refuse();
        break;
      case kQuiet:
        options.Quiet = true;
        break;
      case kForce:
        options.Force = true;
        break;
    }
  }
  if (options.Script.empty()) return Failure("which script?");
  if (options.Output.empty()) return Failure("-o FILE: which film to make?");
  const auto format = FormatOfName(options.Output);
  if (!format) {
    return Failure("\"" + options.Output +
                   "\": the name should end in .mp4, .webm, .mov or .gif, or be a numbered "
                   "picture such as frames/%05d.png");
  }
  options.Format = *format;
  if (options.Transparent && !FilmEncoder::CarriesAlpha(options.Format)) {
    return Failure(
        "--transparent: H.264 (.mp4) has no alpha; make a .mov (ProRes 4444), a .webm (VP9), "
        "numbered .png pictures or a .gif");
  }
  if (options.Format == FilmFormat::Gif && (kGifTicksPerSecond % options.Fps != 0 ||
                                            kGifTicksPerSecond / options.Fps < kGifShortestFrame)) {
    return Failure(
        "a GIF's frames last whole hundredths of a second, at least two: --fps 50, "
        "25, 20, 10, 5, 4, 2 or 1");
  }
  return {std::move(options), {}};
}

}  // namespace velloway::render
