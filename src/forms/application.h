#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/environment.h"
#include "platform/event_loop.h"

namespace velloway::forms {

// The program itself: its version, event processing, its end, its settings.
class Application {
 public:
  Application(platform::EventLoop& events, platform::SettingsStore& settings)
      : events_(events), settings_(settings) {}
  static std::int16_t Major();
  static std::int16_t Minor();
  static std::int16_t Revision();
  void RunWaitingEvents() { events_.RunWaitingEvents(); }
  [[noreturn]] void End();
  // The stored text, or defaultValue when it is absent, cannot be read, or is too long to be a
  // value this program wrote.
  std::string GetSetting(std::string_view app, std::string_view section, std::string_view key,
                         std::string_view defaultValue) const;
  // Stores a text; a store that cannot be written is ignored.
  void SaveSetting(std::string_view app, std::string_view section, std::string_view key,
                   std::string_view value) const;

 private:
  platform::EventLoop& events_;
  platform::SettingsStore& settings_;
};

}  // namespace velloway::forms
