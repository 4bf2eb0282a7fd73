#pragma once
// The program's music: one device that plays a file.
#include <string_view>

namespace velloway::platform {

// The one music device of the program: a file opened, played once, stopped and closed. It takes
// no decisions: each step reports whether it worked.
class MusicDevice {
 public:
  virtual ~MusicDevice() = default;
  // Opens the file at path (UTF-8); false when it cannot be opened, is no regular file (a device
  // or a pipe counts as missing: see platform::CheckedFile), or a file is open already.
  virtual bool Open(std::string_view path) = 0;
  // Plays the open file once, from its start; false when it cannot be played.
  virtual bool Play() = 0;
  // Whether the open file is playing now; false when the device cannot tell.
  virtual bool IsPlaying() = 0;
  virtual void Stop() = 0;
  virtual void Close() = 0;
};

class MusicOutput {
 public:
  virtual ~MusicOutput() = default;
  virtual MusicDevice& Music() = 0;
};

}  // namespace velloway::platform
