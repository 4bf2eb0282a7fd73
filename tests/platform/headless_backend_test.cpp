// The headless backend keeps the promises of the real ones that the windows rely on.
#include "platform/headless/headless_backend.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/temp_dir.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace velloway::headless {
namespace {

TEST(HeadlessBackend, ATimerMayDestroyItselfInItsTick) {
  HeadlessBackend backend;
  int ticks = 0;
  std::unique_ptr<platform::TimerDriver> timer;
  // The handler reads what it holds after its timer is gone, as a window closing in its tick
  // goes on with its own members.
  timer = backend.CreateTimer([&timer, &ticks] {
    timer.reset();
    ++ticks;
  });
  timer->Run(10);
  backend.AdvanceTime(100);
  EXPECT_EQ(ticks, 1);
}

// Marks a file hidden as the platform does: by its name here, by its attributes on Windows.
void WriteHiddenFile(const testing::TempDir& dir, const std::string& name) {
  const std::string hidden = "." + name;
  dir.Write(hidden, "");
#ifdef _WIN32
  SetFileAttributesW((dir.Path() / hidden).c_str(), FILE_ATTRIBUTE_HIDDEN);
#endif
}

TEST(HeadlessBackend, ListsFilesAsTheRealBackendsDo) {
  const struct {
    const char* what;
    std::vector<std::string> files;
    const char* pattern;
    std::vector<std::string> listed;
  } cases[] = {
      {"the ending in any case",
       {"Day.vws", "Loud.VWS", "notes.txt", "Old.vws.bak"},
       "*.vws",
       {"Day.vws", "Loud.VWS"}},
      {"letters beyond ASCII in any case",
       {"Noël.ÉTÉ", "Été.été", "Ete.ete"},
       "*.été",
       {"Noël.ÉTÉ", "Été.été"}},
      {"nothing to list", {"notes.txt"}, "*.vws", {}},
  };
  for (const auto& c : cases) {
    testing::TempDir dir;
    for (const std::string& name : c.files) dir.Write(name, "");
    // Never listed: a hidden file, a folder.
    WriteHiddenFile(dir, "Hidden.vws");
    std::filesystem::create_directory(dir.Path() / "Folder.vws");
    HeadlessBackend backend;
    EXPECT_THAT(backend.ListFiles(dir.Utf8(), c.pattern),
                ::testing::UnorderedElementsAreArray(c.listed))
        << c.what;
  }
}

}  // namespace
}  // namespace velloway::headless
