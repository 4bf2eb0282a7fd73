#pragma once
// The music device on SDL_mixer: WAV, MP3, OGG and FLAC, and MIDI where a sound font is
// installed. The audio device is open only while a file is.
#include "platform/music_device.h"

#include <SDL2/SDL_mixer.h>

#include <string>
#include <string_view>

namespace velloway::posix {

// Held by the one copy of the program that plays music on a display. The screen-saver daemon
// starts a copy per monitor, and one tune, not one per monitor, should sound: the first copy to
// open a file claims the music of its user on its display for the rest of its life, and in the
// other copies every file fails to open, as a missing one does. The claim is an abstract socket,
// which the kernel releases however the copy ends.
class MusicClaim {
 public:
  // `display` tells the displays apart (DISPLAY as set for the program, or on Wayland its
  // WAYLAND_DISPLAY).
  explicit MusicClaim(std::string display) : display_(std::move(display)) {}
  ~MusicClaim();
  MusicClaim(const MusicClaim&) = delete;
  MusicClaim& operator=(const MusicClaim&) = delete;
  // Whether this copy holds the claim, claiming it when no other copy does.
  bool Hold();

 private:
  std::string display_;
  int socket_ = -1;
};

class SdlMusicDevice final : public platform::MusicDevice {
 public:
  explicit SdlMusicDevice(std::string display) : claim_(std::move(display)) {}
  ~SdlMusicDevice() override { Close(); }
  SdlMusicDevice(const SdlMusicDevice&) = delete;
  SdlMusicDevice& operator=(const SdlMusicDevice&) = delete;

  bool Open(std::string_view path) override;
  bool Play() override;
  bool IsPlaying() override;
  void Stop() override;
  void Close() override;

 private:
  MusicClaim claim_;
  bool audioOpen_ = false;
  Mix_Music* music_ = nullptr;
};

}  // namespace velloway::posix
