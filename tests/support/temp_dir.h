#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/utf8_path.h"
#include "platform/environment.h"

namespace velloway::testing {

// How the names of this machine's files are read: a backend whose script folder is a real one,
// a TempDir, joins names to it this way.
inline platform::ScriptFileNames MachineFileNames() {
#ifdef _WIN32
  return platform::ScriptFileNames::Windows;
#else
  return platform::ScriptFileNames::Posix;
#endif
}

// A fresh directory for one test, removed afterwards; paths are handed out as UTF-8.
class TempDir {
 public:
  TempDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::filesystem::temp_directory_path() /
            (std::string("velloway-") + info->test_suite_name() + "-" + info->name());
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string Utf8() const { return utf8::FromPath(path_); }
  const std::filesystem::path& Path() const { return path_; }
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path_ / utf8::ToPath(name), std::ios::binary) << bytes;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace velloway::testing
