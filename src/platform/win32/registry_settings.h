#pragma once
// The settings store on the registry: HKEY_CURRENT_USER\<root>\<app>\<section>, one REG_SZ value
// per key.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/environment.h"

namespace velloway::win32 {

class RegistrySettings final : public platform::SettingsStore {
 public:
  // root: the key under HKEY_CURRENT_USER that holds the applications' keys.
  explicit RegistrySettings(std::wstring root = L"Software") : root_(std::move(root)) {}

  // nullopt when the value is absent, not a REG_SZ, or cannot be read.
  std::optional<std::string> Read(std::string_view app, std::string_view section,
                                  std::string_view key) override;
  bool Write(std::string_view app, std::string_view section, std::string_view key,
             std::string_view value) override;

 private:
  std::optional<std::wstring> KeyPath(std::string_view app, std::string_view section) const;

  std::wstring root_;
};

}  // namespace velloway::win32
