#include "music/music_path.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace velloway {
namespace {

using platform::ScriptFileNames;

TEST(MusicFilePath, WindowsJoinsWithABackslashPosixReadsBackslashesAsFolders) {
  struct Case {
    const char* dir;
    const char* name;
    ScriptFileNames names;
    std::optional<std::string> path;
  };
  const Case cases[] = {
      {"C:\\Velloway", "theme.wav", ScriptFileNames::Windows, "C:\\Velloway\\theme.wav"},
      {"C:\\Velloway", "music\\theme.wav", ScriptFileNames::Windows,
       "C:\\Velloway\\music\\theme.wav"},
      {"C:\\Velloway", "D:\\Music\\theme.wav", ScriptFileNames::Windows, "D:\\Music\\theme.wav"},
      {"/home/me/rolls", "theme.wav", ScriptFileNames::Posix, "/home/me/rolls/theme.wav"},
      {"/home/me/rolls", "music\\sub\\theme.wav", ScriptFileNames::Posix,
       "/home/me/rolls/music/sub/theme.wav"},
      {"/home/me/rolls", "music/theme.wav", ScriptFileNames::Posix,
       "/home/me/rolls/music/theme.wav"},
      {"/home/me/a\\b", "theme.wav", ScriptFileNames::Posix, "/home/me/a\\b/theme.wav"},
      {"/home/me/rolls", "D:\\Music\\theme.wav", ScriptFileNames::Posix, std::nullopt},
      {"/home/me/rolls", "c:\\theme.wav", ScriptFileNames::Posix, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MusicFilePath(c.dir, c.name, c.names), c.path) << c.dir << " + " << c.name;
  }
}

}  // namespace
}  // namespace velloway
