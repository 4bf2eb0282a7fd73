#pragma once
#include "forms/application.h"
#include "platform/backend.h"
#include "script/script_types.h"

namespace velloway {

// The background music on the backend's music device. It keeps no state of its own: every
// decision is taken from what the device's steps report and the mode it tells.
class MusicChannel {
 public:
  MusicChannel(forms::Backend& backend, forms::Application& app)
      : device_(backend.Music()), names_(backend.FileNames()), app_(app) {}

  // A "BGM" record: "ON" opens and plays the file of Param(2) (see MusicFilePath, read as the
  // backend reads file names; a network location, or a name it cannot read, is never opened), "OFF"
  // stops and closes the music, any other switch does nothing. Pending events are processed in
  // between, as the roll expects.
  void HandleBgmRecord(const RollRecord& record);
  // Stops and closes the music if it is playing; used right before the saver ends.
  void StopMusic();

 private:
  forms::MusicDevice& device_;
  forms::ScriptFileNames names_;
  forms::Application& app_;
};

}  // namespace velloway
