#include "music/music_channel.h"

#include "base/utf8.h"
#include "music/music_path.h"

namespace velloway {

void MusicChannel::HandleBgmRecord(const RollRecord& record) {
  if (utf8::EqualsIgnoringCase(record.Param(1), "ON")) {
    const std::optional<std::string> path =
        MusicFilePath(environment_.ScriptFolder(), record.Param(2), names_);
    // Skipped as a file that does not open.
    if (!path || NamesNetworkLocation(*path)) return;
    // A second "ON" while the music plays fails to open and changes nothing.
    if (!device_.Open(*path)) return;
    events_.RunWaitingEvents();
    if (!device_.Play()) {
      // Free the device again, so that a later "ON" can open its file.
      device_.Close();
      events_.RunWaitingEvents();
    }
    events_.RunWaitingEvents();
  } else if (utf8::EqualsIgnoringCase(record.Param(1), "OFF")) {
    device_.Stop();
    events_.RunWaitingEvents();
    device_.Close();
    events_.RunWaitingEvents();
  }
}

void MusicChannel::StopMusic() {
  if (!device_.IsPlaying()) return;
  device_.Stop();
  device_.Close();
}

}  // namespace velloway
