#pragma once
#include "platform/environment.h"
#include "platform/event_loop.h"
#include "platform/music_device.h"
#include "script/script_types.h"

namespace velloway {

// The background music on the program's music device. It keeps no state of its own: every
// decision is taken from what the device's steps report and the mode it tells.
class MusicChannel {
 public:
  // Pending events run on events between the steps of a record.
  MusicChannel(platform::MusicDevice& device, platform::Environment& environment,
               platform::EventLoop& events)
      : device_(device),
        environment_(environment),
        names_(environment.FileNames()),
        events_(events) {}

  // A "BGM" record: "ON" opens and plays the file of Param(2) (see MusicFilePath, relative to the
  // script folder, read as the platform reads file names; a network location, or a name it cannot
  // read, is never opened), "OFF" stops and closes the music, any other switch does nothing.
  // Pending events are processed in between, as the roll expects.
  void HandleBgmRecord(const RollRecord& record);
  // Stops and closes the music if it is playing; used right before the saver ends.
  void StopMusic();

 private:
  platform::MusicDevice& device_;
  platform::Environment& environment_;
  platform::ScriptFileNames names_;
  platform::EventLoop& events_;
};

}  // namespace velloway
