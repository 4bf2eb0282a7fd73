// velloway-render's command line: the film's format from its name, its size and rate, and what
// it refuses.
#include "programs/render/render_options.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace velloway::render {
namespace {

TEST(RenderOptions, ReadsTheFilmItsFormatAndItsSettings) {
  struct Case {
    std::vector<std::string> args;
    FilmFormat format;
    int width, height, fps, dpi, loops;
    std::optional<double> duration;
  };
  const Case cases[] = {
      {{"a.vws", "-o", "a.mp4"}, FilmFormat::Mp4, 1920, 1080, 50, 96, 1, std::nullopt},
      {{"-o", "a.WebM", "a.vws"}, FilmFormat::WebM, 1920, 1080, 50, 96, 1, std::nullopt},
      {{"a.vws", "--output", "a.mov", "--size", "1280x720", "--fps", "25"},
       FilmFormat::Mov,
       1280,
       720,
       25,
       96,
       1,
       std::nullopt},
      {{"a.vws", "-o", "a.gif", "--fps", "20", "--dpi", "144", "--loops", "3"},
       FilmFormat::Gif,
       1920,
       1080,
       20,
       144,
       3,
       std::nullopt},
      {{"a.vws", "-o", "frames/%05d.png", "--duration", "2.5"},
       FilmFormat::PngSequence,
       1920,
       1080,
       50,
       96,
       1,
       2.5},
      {{"a.vws", "-o", "f%d.PNG", "--size", "16x16", "--fps", "120"},
       FilmFormat::PngSequence,
       16,
       16,
       120,
       96,
       1,
       std::nullopt},
      {{"--output=a.gif", "--fps=20", "--dpi=144", "--loops=3", "a.vws"},
       FilmFormat::Gif,
       1920,
       1080,
       20,
       144,
       3,
       std::nullopt},
      {{"-oa.mov", "--size=1280x720", "--duration=2.5", "--", "a.vws"},
       FilmFormat::Mov,
       1280,
       720,
       50,
       96,
       1,
       2.5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1] + " " + c.args[2]);
    const ParsedRender parsed = ParseRenderOptions(c.args);
    ASSERT_TRUE(parsed.Options) << parsed.Error;
    const RenderOptions& options = *parsed.Options;
    EXPECT_EQ(options.Script, "a.vws");
    EXPECT_EQ(options.Format, c.format);
    EXPECT_EQ(options.Width, c.width);
    EXPECT_EQ(options.Height, c.height);
    EXPECT_EQ(options.Fps, c.fps);
    EXPECT_EQ(options.Dpi, c.dpi);
    EXPECT_EQ(options.Loops, c.loops);
    EXPECT_EQ(options.DurationSeconds, c.duration);
  }
}

TEST(RenderOptions, TakesEachScreenSizeUpToEightKAndNoLarger) {
  const struct {
    const char* size;
    bool taken;
  } cases[] = {
      {"7680x4320", true},  {"16x16", true},      {"7680x16", true},    {"16x4320", true},
      {"7682x4320", false}, {"7680x4322", false}, {"4320x7680", false}, {"14x16", false},
      {"16x14", false},     {"1281x720", false},  {"1280x721", false},  {"1280", false},
  };
  for (const auto& c : cases) {
    const std::vector<std::string> args = {"a.vws", "-o", "a.mp4", "--size", c.size};
    const ParsedRender parsed = ParseRenderOptions(args);
    EXPECT_EQ(parsed.Options.has_value(), c.taken) << c.size << ": " << parsed.Error;
  }
}

TEST(RenderOptions, RefusesWhatCannotBeFilmed) {
  const struct {
    std::vector<std::string> args;
    const char* error;
  } cases[] = {
      {{"-o", "a.mp4"}, "which script"},
      {{"a.vws"}, "which film"},
      {{"a.vws", "-o", "a.avi"}, "should end in .mp4"},
      {{"a.vws", "-o", "a.png"}, "should end in .mp4"},
      {{"a.vws", "-o", "f%d-%d.png"}, "should end in .mp4"},
      {{"a.vws", "-o", "100%.mp4"}, "should end in .mp4"},
      {{"a.vws", "-o", "a.mp4", "--size", "8x8"},
       "--size takes WIDTHxHEIGHT in even numbers of pixels, from 16x16 to 7680x4320, not \"8x8\""},
      {{"a.vws", "-o", "a.mp4", "--fps", "0"}, "--fps"},
      {{"a.vws", "-o", "a.mp4", "--fps", "121"}, "--fps"},
      {{"a.vws", "-o", "a.gif", "--fps", "60"}, "whole hundredths"},
      {{"a.vws", "-o", "a.gif", "--fps", "100"}, "whole hundredths"},
      {{"a.vws", "-o", "a.mp4", "--dpi", "4000"}, "--dpi"},
      {{"a.vws", "-o", "a.mp4", "--loops", "0"}, "--loops"},
      {{"a.vws", "-o", "a.mp4", "--duration", "0"}, "--duration"},
      {{"a.vws", "-o", "a.mp4", "--duration", "nan"}, "--duration"},
      {{"a.vws", "-o", "a.mp4", "--duration", "50000"}, "--duration"},
      {{"a.vws", "-o", "a.mp4", "b.vws"}, "unexpected argument \"b.vws\""},
      {{"a.vws", "-o", "a.mp4", "--fps"}, "--fps needs a value: a number of frames a second"},
      {{"a.vws", "-o", "a.mp4", "--loud"}, "unknown option \"--loud\""},
      {{"a.vws", "-o", "a.mp4", "-x"}, "unknown option \"-x\""},
  };
  for (const auto& c : cases) {
    std::string line;
    for (const std::string& arg : c.args) line += arg + " ";
    SCOPED_TRACE(line);
    const ParsedRender parsed = ParseRenderOptions(c.args);
    EXPECT_FALSE(parsed.Options);
    EXPECT_NE(parsed.Error.find(c.error), std::string::npos) << parsed.Error;
  }
}

TEST(RenderOptions, AsksForHelpWithoutAScriptInAHelpThatFitsATerminal) {
  EXPECT_TRUE(ParseRenderOptions(std::vector<std::string>{"-h"}).Options->Help);
  EXPECT_TRUE(ParseRenderOptions(std::vector<std::string>{"--version"}).Options->Version);
  std::istringstream help(platform::HelpText(kRenderCommandLine));
  for (std::string line; std::getline(help, line);) EXPECT_LT(line.size(), 80u) << line;
}

}  // namespace
}  // namespace velloway::render
