#include "music/music_channel.h"

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
    const std::string open = "open \"" + MusicPath(record.Param(2)) + "\" alias bgm";
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

// A name holding ":\\" is a full path; any other is relative to the program's directory, even a
// network path, which begins with two backslashes.
std::string MusicChannel::MusicPath(std::string_view name) const {
  if (name.find(":\\") != std::string_view::npos) return std::string(name);
  return app_.Path() + "\\" + std::string(name);
}

}  // namespace velloway
