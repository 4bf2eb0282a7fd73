#pragma once
// velloway --window --watch, for writers: the roll plays its script in the ordinary window and
// starts again from its beginning each time the script is saved. A script that cannot be played
// shows the first reason, as velloway-check words it, until it is saved again.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/backend.h"
#include "roll/roll_options.h"
#include "roll/saver_window.h"
#include "roll/script_watch.h"

namespace velloway::linux {

class WatchedRoll {
 public:
  // How often the script's file is looked at, in milliseconds.
  static constexpr std::int32_t kLookInterval = 200;

  // Plays the script at path (UTF-8) in host, and watches it.
  WatchedRoll(platform::Backend& backend, platform::WindowId host, std::string path,
              RollOptions options);
  WatchedRoll(const WatchedRoll&) = delete;
  WatchedRoll& operator=(const WatchedRoll&) = delete;

 private:
  void Look();
  // A new roll of the script as it is now, in place of the one before.
  void Play();

  platform::Backend& backend_;
  const platform::WindowId host_;
  const std::string path_;
  const std::string fileName_;  // how its problems name it
  const RollOptions options_;
  ScriptWatch watch_;
  std::unique_ptr<SaverWindow> saver_;
  std::unique_ptr<platform::TimerDriver> lookTimer_;
};

}  // namespace velloway::linux
