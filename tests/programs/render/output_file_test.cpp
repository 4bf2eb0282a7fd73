// A film that is not completed leaves nothing behind: neither a video's hidden file nor any
// picture of a sequence, the one begun included; what else lies in the folder stays.
#include "programs/render/output_file.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "support/temp_dir.h"

namespace velloway::render {
namespace {

std::set<std::string> Names(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

TEST(OutputFile, ADiscardedFilmLeavesNothingBehind) {
  const struct {
    const char* what;
    const char* name;
    FilmFormat format;
    std::int64_t written;  // frames written before the failure
  } cases[] = {
      {"a video", "film.mp4", FilmFormat::Mp4, 25},
      {"a video that failed at its start", "film.gif", FilmFormat::Gif, 0},
      {"a sequence", "%03d.png", FilmFormat::PngSequence, 3},
      {"a sequence that failed in its first picture", "%03d.png", FilmFormat::PngSequence, 0},
  };
  for (const auto& c : cases) {
    testing::TempDir dir;
    dir.Write("keep.txt", "mine");
    OutputFile output(dir.Utf8() + "/" + c.name, c.format, false);
    if (c.format == FilmFormat::PngSequence) {
      // The pictures written, numbered from 1, and the one begun.
      for (std::int64_t number = 1; number <= c.written + 1; ++number) {
        std::array<char, 32> name{};
        std::snprintf(name.data(), name.size(), "%03lld.png", static_cast<long long>(number));
        dir.Write(name.data(), "picture");
      }
    } else {
      std::FILE* film = std::fopen(output.WritingTo().c_str(), "wb");
      ASSERT_NE(film, nullptr) << c.what;
      std::fclose(film);
    }
    output.Discard(c.written);
    EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"keep.txt"}) << c.what;
  }
}

}  // namespace
}  // namespace velloway::render
