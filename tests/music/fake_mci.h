#pragma once
#include <string>
#include <string_view>

namespace velloway::testing {

// A stand-in for the media system's "bgm" device: closed, playing, or open after its piece
// finished. It answers commands with the media system's error codes.
class FakeMci {
 public:
  enum class State { Closed, Playing, Finished };
  static constexpr int kInvalidDevice = 263;
  static constexpr int kFileNotFound = 275;
  static constexpr int kCannotPlay = 277;
  static constexpr int kAliasInUse = 289;

  State state = State::Closed;
  std::string openedPath;

  int operator()(std::string_view command, std::string& reply) {
    constexpr std::string_view kOpen = "open \"";
    if (command.starts_with(kOpen)) {
      if (state != State::Closed) return kAliasInUse;
      const std::string_view path =
          command.substr(kOpen.size(), command.find('"', kOpen.size()) - kOpen.size());
      if (path.find("missing") != std::string_view::npos) return kFileNotFound;
      openedPath = path;
      state = State::Finished;  // open and not playing: "stopped"
      return 0;
    }
    if (state == State::Closed) return kInvalidDevice;
    if (command == "play bgm notify") {
      if (openedPath.find("unplayable") != std::string::npos) return kCannotPlay;
      state = State::Playing;
    } else if (command == "status bgm mode") {
      const std::string mode = state == State::Playing ? "playing" : "stopped";
      reply.replace(0, mode.size() + 1, mode + '\0');
    } else if (command == "stop bgm") {
      state = State::Finished;
    } else if (command == "close bgm") {
      state = State::Closed;
    }
    return 0;
  }
};

}  // namespace velloway::testing
