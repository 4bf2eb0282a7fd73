#include "platform/win32/mci_music_device.h"

#include <string>

#include "platform/device_file.h"

namespace velloway::win32 {
namespace {

constexpr UINT kReplyLength = 512;

}  // namespace

bool MciMusicDevice::SendWithReply(std::string_view command, std::string& reply) {
  reply.assign(kReplyLength, ' ');
  return calls_.mciSendStringA(command, reply, kReplyLength, nullptr) == 0;
}

bool MciMusicDevice::Open(std::string_view path) {
  // The media system opens by name; a device or a pipe it would read without end or wait on.
  if (platform::CheckedFile(std::string(path)).Kind() != platform::FileKind::Regular) return false;
  std::string reply;
  return SendWithReply("open \"" + std::string(path) + "\" alias bgm", reply);
}

bool MciMusicDevice::Play() {
  std::string reply;
  return SendWithReply("play bgm notify", reply);
}

bool MciMusicDevice::IsPlaying() {
  std::string reply;
  return SendWithReply("status bgm mode", reply) && reply.compare(0, 7, "playing") == 0;
}

void MciMusicDevice::Stop() {
  calls_.mciExecute("stop bgm");
}

void MciMusicDevice::Close() {
  calls_.mciExecute("close bgm");
}

}  // namespace velloway::win32
