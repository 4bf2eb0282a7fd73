#pragma once
// Settings kept in memory for the program's life: for a program whose settings come from its
// command line (the Linux program) and for tests, which read back what was stored.
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/environment.h"

namespace velloway::platform {

class MemorySettings : public SettingsStore {
 public:
  std::optional<std::string> Read(std::string_view app, std::string_view section,
                                  std::string_view key) override;
  bool Write(std::string_view app, std::string_view section, std::string_view key,
             std::string_view value) override;
  void Erase(std::string_view app, std::string_view section, std::string_view key);

 private:
  static std::string Path(std::string_view app, std::string_view section, std::string_view key);
  std::map<std::string, std::string, std::less<>> values_;
};

}  // namespace velloway::platform
