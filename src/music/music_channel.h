#pragma once
#include "platform/forms.h"
#include "platform/modAPI.h"
#include "script/script_types.h"

namespace velloway {

// The background music: one media device under the alias "bgm". It keeps no state of its own;
// every decision is taken from the media system's results and the mode the device reports.
class MusicChannel {
 public:
  MusicChannel(ModApi& api, forms::Application& app) : api_(api), app_(app) {}

  // A "BGM" record: "ON" opens and plays the file of Param(2) (see MusicFilePath; a network
  // location is never opened), "OFF" stops and closes the music, any other switch does nothing.
  // Pending events are processed in between, as the roll expects.
  void HandleBgmRecord(const RollRecord& record);
  // Stops and closes the music if it is playing; used right before the saver ends.
  void StopMusic();

 private:
  ModApi& api_;
  forms::Application& app_;
};

}  // namespace velloway
