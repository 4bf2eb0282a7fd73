#pragma once
#include <cstdint>

namespace velloway {

// A colour: red + 256 * green + 65536 * blue, as a script's RRGGBB is read and GDI takes it; a
// system colour is 0x800000nn, the number of the system's colour in its low byte.
using Color = std::int32_t;

inline constexpr Color kBlack = 0;
inline constexpr Color kWhite = 0xFFFFFF;

// A colour's channels, 0 to 255 each.
struct Channels {
  std::uint8_t Red;
  std::uint8_t Green;
  std::uint8_t Blue;
};

constexpr Channels ChannelsOf(Color color) {
  const auto value = static_cast<std::uint32_t>(color);
  return {static_cast<std::uint8_t>(value & 0xFFu), static_cast<std::uint8_t>((value >> 8) & 0xFFu),
          static_cast<std::uint8_t>((value >> 16) & 0xFFu)};
}

}  // namespace velloway
