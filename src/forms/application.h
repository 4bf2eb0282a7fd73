#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/backend.h"

namespace velloway::forms {

// The program itself: its directory and version, event processing, its end, its settings.
class Application {
 public:
  explicit Application(Backend& backend) : backend_(backend) {}
  std::string Path() const { return backend_.AppPath(); }
  static std::int16_t Major();
  static std::int16_t Minor();
  static std::int16_t Revision();
  void DoEvents() { backend_.DoEvents(); }
  [[noreturn]] void End();
  // The stored text, or defaultValue when it is absent, cannot be read, or is too long to be a
  // value this program wrote.
  std::string GetSetting(std::string_view app, std::string_view section, std::string_view key,
                         std::string_view defaultValue) const;
  // Stores a text; a store that cannot be written is ignored.
  void SaveSetting(std::string_view app, std::string_view section, std::string_view key,
                   std::string_view value) const;

 private:
  Backend& backend_;
};

}  // namespace velloway::forms
