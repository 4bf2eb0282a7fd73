#include "platform/device_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace velloway::platform {
namespace {

TEST(CheckedFile, OnlyARegularFileOpensAndNothingWaits) {
  testing::TempDir dir;
  dir.Write("theme.wav", "RIFF");
  std::filesystem::create_directory(dir.Path() / "folder");
  struct Case {
    std::string name;
    std::string path;
    FileKind kind;
  };
  std::vector<Case> cases = {
      {"a regular file", dir.Utf8() + "/theme.wav", FileKind::Regular},
      {"a missing file", dir.Utf8() + "/missing.wav", FileKind::Unusable},
      {"a folder", dir.Utf8() + "/folder", FileKind::Unusable},
  };
#ifdef _WIN32
  cases.push_back({"the null device", "NUL", FileKind::DeviceOrPipe});
#else
  std::filesystem::create_symlink("/dev/zero", dir.Path() / "zero.wav");
  ASSERT_EQ(mkfifo((dir.Utf8() + "/fifo.wav").c_str(), 0600), 0);
  cases.push_back({"a device", "/dev/zero", FileKind::DeviceOrPipe});
  cases.push_back({"a link to a device", dir.Utf8() + "/zero.wav", FileKind::DeviceOrPipe});
  // Opened as a reader with no writer: a wait for ever, unless the open does not wait.
  cases.push_back({"a FIFO", dir.Utf8() + "/fifo.wav", FileKind::DeviceOrPipe});
#endif
  for (const Case& c : cases) {
    EXPECT_EQ(CheckedFile(c.path).Kind(), c.kind) << c.name;
  }
}

}  // namespace
}  // namespace velloway::platform
