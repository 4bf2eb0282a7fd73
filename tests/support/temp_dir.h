#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace velloway::testing {

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

  std::string Utf8() const {
    const std::u8string text = path_.u8string();
    return std::string(text.begin(), text.end());
  }
  const std::filesystem::path& Path() const { return path_; }
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path_ / std::filesystem::path(std::u8string(name.begin(), name.end())),
                  std::ios::binary)
        << bytes;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace velloway::testing
