// A watched script's file as the program looks at it: each way an editor saves shows as a change,
// and a file left alone does not.
#include "programs/linux/watched_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "support/temp_dir.h"

namespace velloway::linux {
namespace {

TEST(LookAtFile, EachWayOfSavingShowsAsAChange) {
  const std::string kText = "HEADER\t20\t2\tMID\t000000\nCLEAR\n";
  const struct {
    const char* what;
    std::function<void(const testing::TempDir&, const std::filesystem::path&)> save;
    bool changed;
  } cases[] = {
      {"left alone", [](const auto&, const auto&) {}, false},
      {"written longer",
       [&](const auto& dir, const auto&) { dir.Write("Roll.vws", kText + "WAIT\t1\n"); }, true},
      {"modified later, as long",
       [](const auto&, const auto& script) {
         std::filesystem::last_write_time(
             script, std::filesystem::last_write_time(script) + std::chrono::seconds(1));
       },
       true},
      // As long and as old: only the file the name leads to differs.
      {"a new file renamed over it",
       [&](const auto& dir, const auto& script) {
         dir.Write("Roll.vws.new", kText);
         std::filesystem::last_write_time(dir.Path() / "Roll.vws.new",
                                          std::filesystem::last_write_time(script));
         std::filesystem::rename(dir.Path() / "Roll.vws.new", script);
       },
       true},
      {"removed", [](const auto&, const auto& script) { std::filesystem::remove(script); }, true},
  };
  for (const auto& c : cases) {
    const testing::TempDir dir;
    dir.Write("Roll.vws", kText);
    const std::filesystem::path script = dir.Path() / "Roll.vws";
    const WatchedFileState before = LookAtFile(script.string());
    ASSERT_TRUE(before.Exists);
    c.save(dir, script);
    EXPECT_EQ(LookAtFile(script.string()) != before, c.changed) << c.what;
  }
  EXPECT_FALSE(LookAtFile("/nonexistent/Roll.vws").Exists);
}

}  // namespace
}  // namespace velloway::linux
