#include "music/music_channel.h"

#include "music/music_path.h"
#include "script/normalise.h"

namespace velloway {
namespace {

constexpr std::uint32_t kReplyLength = 512;
constexpr WindowHandle kNoCallback = 0;

std::string ReplyBuffer() {
  return std::string(kReplyLength, ' ');
}

}  // namespace

void MusicChannel::HandleBgmRecord(const RollRecord& record) {
  std::string reply = ReplyBuffer();
  if (EqualsIgnoringCase(record.Param(1), "ON")) {
    const std::string path = MusicFilePath(app_.Path(), record.Param(2));
    if (NamesNetworkLocation(path)) return;  // skipped as a file that does not open
    const std::string open = "open \"" + path + "\" alias bgm";
    if (api_.mciSendStringA(open, reply, kReplyLength, kNoCallback) != 0) return;
    app_.DoEvents();
    if (api_.mciSendStringA("play bgm notify", reply, kReplyLength, kNoCallback) != 0) {
      // Free the alias again, so that a later "ON" can open its file.
      api_.mciExecute("close bgm");
      app_.DoEvents();
    }
    app_.DoEvents();
  } else if (EqualsIgnoringCase(record.Param(1), "OFF")) {
    api_.mciExecute("stop bgm");
    app_.DoEvents();
    api_.mciExecute("close bgm");
    app_.DoEvents();
  }
}

void MusicChannel::StopMusic() {
  std::string reply = ReplyBuffer();
  const bool playing =
      api_.mciSendStringA("status bgm mode", reply, kReplyLength, kNoCallback) == 0 &&
      reply.compare(0, 7, "playing") == 0;
  if (!playing) return;
  api_.mciExecute("stop bgm");
  api_.mciExecute("close bgm");
}

}  // namespace velloway
