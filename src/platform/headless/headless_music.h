#pragma once
#include <set>
#include <string>
#include <string_view>

#include "platform/music_device.h"

namespace velloway::headless {

// The headless music device: closed, playing a file, or holding a file that is not playing (its
// piece finished, it was stopped, or it has not started). Every file opens and plays unless a
// test marks it missing or unplayable.
class HeadlessMusic : public platform::MusicDevice {
 public:
  enum class State { Closed, Playing, Finished };

  bool Open(std::string_view path) override;
  bool Play() override;
  bool IsPlaying() override { return state_ == State::Playing; }
  void Stop() override;
  void Close() override;

  // --- what a test controls and sees ---
  void MarkMissing(std::string path) { missing_.insert(std::move(path)); }
  void MarkUnplayable(std::string path) { unplayable_.insert(std::move(path)); }
  // The piece that is playing comes to its end.
  void FinishPiece() { Stop(); }
  State Now() const { return state_; }
  // The file that is open; empty while the device is closed.
  const std::string& OpenedPath() const { return path_; }

 private:
  State state_ = State::Closed;
  std::string path_;
  std::set<std::string, std::less<>> missing_;
  std::set<std::string, std::less<>> unplayable_;
};

}  // namespace velloway::headless
