#pragma once
// The command line of velloway-render: the script, the film it makes and how.
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/long_options.h"

namespace velloway::render {

// What the output's name asks for, by its extension: a video with sound, an animated picture, or
// a numbered sequence of pictures (a name with one %d, such as frames/%05d.png).
enum class FilmFormat { Mp4, WebM, Mov, Gif, PngSequence };

// The longest film made, in seconds: 12 hours.
inline constexpr double kMaxFilmSeconds = 12 * 3600;

// --fit: how long one pass of the script lasts, all of it played at one speed.
struct FitLength {
  double Seconds = 0;    // the pass's length, unless ToMusic
  bool ToMusic = false;  // as long as the script's first music file, which ends with the pass
};

struct RenderOptions {
  std::string Script;
  std::string Output;
  FilmFormat Format = FilmFormat::Mp4;
  int Width = 1920;
  int Height = 1080;
  int Fps = 50;
  int Dpi = 96;
  int Loops = 1;
  std::optional<double> DurationSeconds;  // unset: the whole of the passes
  std::optional<FitLength> Fit;           // unset: the script's own speed
  bool Transparent = false;
  std::optional<unsigned> CodePage;  // unset: the locale decides
  bool Quiet = false;
  bool Force = false;
  bool Help = false;
  bool Version = false;
};

struct ParsedRender {
  std::optional<RenderOptions> Options;
  std::string Error;  // why there are no options
};

// The program's options and help.
extern const platform::CommandLine kRenderCommandLine;

// Reads the arguments (without the program's path).
ParsedRender ParseRenderOptions(std::span<const std::string> args);

// The format an output's name asks for; nothing for a name no format takes.
std::optional<FilmFormat> FormatOfName(std::string_view output);

}  // namespace velloway::render
