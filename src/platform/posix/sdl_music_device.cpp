#include "platform/posix/sdl_music_device.h"

#include <SDL2/SDL.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "platform/device_file.h"

namespace velloway::posix {
namespace {

constexpr int kSampleRate = 44100;
constexpr int kChannels = 2;
constexpr int kChunkFrames = 2048;

// SDL_mixer's first guess at a file's format by its name, as Mix_LoadMUS makes it; anything else
// is told by its first bytes.
Mix_MusicType TypeByExtension(std::string_view path) {
  static constexpr std::array<std::pair<const char*, Mix_MusicType>, 11> kTypes = {{
      {"wav", MUS_WAV},
      {"mid", MUS_MID},
      {"midi", MUS_MID},
      {"kar", MUS_MID},
      {"ogg", MUS_OGG},
      {"opus", MUS_OPUS},
      {"flac", MUS_FLAC},
      {"mpg", MUS_MP3},
      {"mpeg", MUS_MP3},
      {"mp3", MUS_MP3},
      {"mad", MUS_MP3},
  }};
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos) return MUS_NONE;
  const std::string extension(path.substr(dot + 1));
  for (const auto& [name, type] : kTypes) {
    if (SDL_strcasecmp(extension.c_str(), name) == 0) return type;
  }
  return MUS_NONE;
}

// The checked file as a stream SDL reads and closes; null when it cannot be one.
SDL_RWops* StreamOf(platform::CheckedFile& file) {
  const int fd = static_cast<int>(file.TakeHandle());
  FILE* stream = fdopen(fd, "rb");
  if (stream == nullptr) {
    close(fd);
    return nullptr;
  }
  SDL_RWops* source = SDL_RWFromFP(stream, SDL_TRUE);
  if (source == nullptr) std::fclose(stream);
  return source;
}

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
  // Read from the very handle that was checked: a device or a pipe would make the load read
  // without end or wait for ever, deaf to keys and signals.
  platform::CheckedFile file{std::string(path)};
  if (file.Kind() != platform::FileKind::Regular) return false;
  if (!audioOpen_) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    Mix_Init(MIX_INIT_FLAC | MIX_INIT_MP3 | MIX_INIT_OGG | MIX_INIT_MID);
    if (Mix_OpenAudio(kSampleRate, MIX_DEFAULT_FORMAT, kChannels, kChunkFrames) != 0) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      return false;
    }
    audioOpen_ = true;
  }
  SDL_RWops* source = StreamOf(file);
  // The music owns the stream from here, and frees it when the load fails.
  if (source != nullptr) music_ = Mix_LoadMUSType_RW(source, TypeByExtension(path), 1);
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

}  // namespace velloway::posix
