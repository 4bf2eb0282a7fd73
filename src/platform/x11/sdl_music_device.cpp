#include "platform/x11/sdl_music_device.h"

#include <SDL2/SDL.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace velloway::x11 {
namespace {

constexpr int kSampleRate = 44100;
constexpr int kChannels = 2;
constexpr int kChunkFrames = 2048;

}  // namespace

MusicClaim::~MusicClaim() {
  if (socket_ >= 0) close(socket_);
}

bool MusicClaim::Hold() {
  if (socket_ >= 0) return true;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  // An abstract name (a leading NUL): no file to remove, gone with the last copy holding it.
  const std::string name =
      "velloway-music uid " + std::to_string(getuid()) + " display " + display_;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::size_t length = std::min(name.size(), sizeof address.sun_path - 1);
  std::memcpy(address.sun_path + 1, name.data(), length);
  const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), size) != 0) {
    close(fd);
    return false;
  }
  socket_ = fd;
  return true;
}

bool SdlMusicDevice::Open(std::string_view path) {
  if (music_ != nullptr || !claim_.Hold()) return false;
  if (!audioOpen_) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    Mix_Init(MIX_INIT_FLAC | MIX_INIT_MP3 | MIX_INIT_OGG | MIX_INIT_MID);
    if (Mix_OpenAudio(kSampleRate, MIX_DEFAULT_FORMAT, kChannels, kChunkFrames) != 0) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      return false;
    }
    audioOpen_ = true;
  }
  music_ = Mix_LoadMUS(std::string(path).c_str());
  if (music_ == nullptr) {
    Close();
    return false;
  }
  return true;
}

bool SdlMusicDevice::Play() {
  // 0 loops: once through, as the media system plays a file.
  return music_ != nullptr && Mix_PlayMusic(music_, 0) == 0;
}

bool SdlMusicDevice::IsPlaying() {
  return music_ != nullptr && Mix_PlayingMusic() != 0 && Mix_PausedMusic() == 0;
}

void SdlMusicDevice::Stop() {
  if (music_ != nullptr) Mix_HaltMusic();
}

void SdlMusicDevice::Close() {
  if (music_ != nullptr) {
    Mix_HaltMusic();
    Mix_FreeMusic(music_);
    music_ = nullptr;
  }
  if (audioOpen_) {
    Mix_CloseAudio();
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    audioOpen_ = false;
  }
}

}  // namespace velloway::x11
