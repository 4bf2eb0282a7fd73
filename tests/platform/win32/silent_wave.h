#pragma once
// A sound file for the tests of the media calls and the music device.
#include <cstdint>
#include <string>

namespace velloway::win32 {

// A silent PCM WAV file of a tenth of a second.
inline std::string SilentWave() {
  const std::uint32_t rate = 8000;
  const std::uint32_t dataBytes = rate / 10;
  std::string wave;
  const auto put = [&wave](std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) wave.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  };
  wave += "RIFF";
  put(36 + dataBytes, 4);
  wave += "WAVEfmt ";
  put(16, 4);
  put(1, 2);  // PCM
  put(1, 2);  // mono
  put(rate, 4);
  put(rate, 4);  // bytes per second
  put(1, 2);     // block align
  put(8, 2);     // bits per sample
  wave += "data";
  put(dataBytes, 4);
  wave.append(dataBytes, static_cast<char>(0x80));
  return wave;
}

}  // namespace velloway::win32
