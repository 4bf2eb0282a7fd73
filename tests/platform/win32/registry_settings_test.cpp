// Settings in the registry (under Wine in the build), each test under a key of its own.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/wide_text.h"
#include "platform/win32/registry_settings.h"
#include "platform/win32/win32_handles.h"

namespace velloway::win32 {
namespace {

using platform::Utf8ToWide;

class RegistrySettingsTest : public ::testing::Test {
 protected:
  RegistrySettingsTest()
      : app_("VellowayTest-" + std::to_string(GetCurrentProcessId()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name()) {}
  ~RegistrySettingsTest() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\" + Utf8ToWide(app_)).c_str());
  }

  // Stores raw data under the test's Setting section.
  void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    const std::wstring path = L"Software\\" + Utf8ToWide(app_) + L"\\Setting";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const UniqueKey owned(key);
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes),
              ERROR_SUCCESS);
  }

  std::string app_;
  RegistrySettings settings_;
};

TEST_F(RegistrySettingsTest, TextsComeBackAsWritten) {
  const std::string texts[] = {"", "Default.vws",
                               "C:\\Scripts\\caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac.vws",
                               "\xf0\x9f\x8e\xb5 music", std::string(100000, 'x')};
  for (const std::string& text : texts) {
    SCOPED_TRACE(text.substr(0, 40));
    ASSERT_TRUE(settings_.Write(app_, "Setting", "ScriptFileName", text));
    EXPECT_EQ(settings_.Read(app_, "Setting", "ScriptFileName"), text);
  }
}

TEST_F(RegistrySettingsTest, StoresUnderTheApplicationAndSection) {
  ASSERT_TRUE(settings_.Write(app_, "Setting", "ScriptFileName", "a.vws"));
  const std::wstring path = L"Software\\" + Utf8ToWide(app_) + L"\\Setting";
  wchar_t value[32] = {};
  DWORD bytes = sizeof(value);
  ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, path.c_str(), L"ScriptFileName", RRF_RT_REG_SZ, nullptr,
                         value, &bytes),
            ERROR_SUCCESS);
  EXPECT_STREQ(value, L"a.vws");
}

TEST_F(RegistrySettingsTest, AbsentValuesReadAsNothing) {
  EXPECT_EQ(settings_.Read(app_, "Setting", "ScriptFileName"), std::nullopt);  // no key
  ASSERT_TRUE(settings_.Write(app_, "Setting", "Other", "1"));
  EXPECT_EQ(settings_.Read(app_, "Setting", "ScriptFileName"), std::nullopt);  // no value
  EXPECT_EQ(settings_.Read(app_, "Elsewhere", "Other"), std::nullopt);
}

TEST_F(RegistrySettingsTest, ValuesThatAreNoTextReadAsNothing) {
  const DWORD number = 42;
  SetRaw(L"Number", REG_DWORD, &number, sizeof(number));
  const BYTE bytes[] = {'a', 0, 'b', 0, 0, 0};
  SetRaw(L"Binary", REG_BINARY, bytes, sizeof(bytes));
  SetRaw(L"Strings", REG_MULTI_SZ, L"a\0b\0", 5 * sizeof(wchar_t));
  for (const char* name : {"Number", "Binary", "Strings"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(settings_.Read(app_, "Setting", name), std::nullopt);
  }
}

TEST_F(RegistrySettingsTest, TextsWithoutTerminatorOrWithOddSizesRead) {
  SetRaw(L"Bare", REG_SZ, L"abc", 3 * sizeof(wchar_t));
  SetRaw(L"Odd", REG_SZ, L"abc", 3 * sizeof(wchar_t) + 1);
  SetRaw(L"Inner", REG_SZ, L"ab\0cd", 6 * sizeof(wchar_t));
  EXPECT_EQ(settings_.Read(app_, "Setting", "Bare"), "abc");
  EXPECT_EQ(settings_.Read(app_, "Setting", "Odd"), "abc");
  EXPECT_EQ(settings_.Read(app_, "Setting", "Inner"), "ab");
}

TEST_F(RegistrySettingsTest, MissingNamesAreRefused) {
  EXPECT_FALSE(settings_.Write("", "Setting", "Key", "x"));
  EXPECT_FALSE(settings_.Write(app_, "", "Key", "x"));
  EXPECT_EQ(settings_.Read("", "Setting", "Key"), std::nullopt);
}

}  // namespace
}  // namespace velloway::win32
