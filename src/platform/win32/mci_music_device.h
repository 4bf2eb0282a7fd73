#pragma once
// The music device on the media system (MCI): one device under the alias "bgm", driven by
// command strings.
#include <string_view>

#include "platform/music_device.h"
#include "platform/win32/system_calls.h"

namespace velloway::win32 {

class MciMusicDevice final : public platform::MusicDevice {
 public:
  explicit MciMusicDevice(SystemCalls& calls) : calls_(calls) {}

  bool Open(std::string_view path) override;
  bool Play() override;
  // The device's mode is "playing" exactly.
  bool IsPlaying() override;
  void Stop() override;
  void Close() override;

 private:
  // Sends a command with a reply buffer of 512 blanks; reply holds the reply afterwards.
  bool SendWithReply(std::string_view command, std::string& reply);

  SystemCalls& calls_;
};

}  // namespace velloway::win32
