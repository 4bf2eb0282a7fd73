#pragma once
#include <cstdint>

namespace velloway {

// A colour: red + 256 * green + 65536 * blue, as a script's RRGGBB is read and GDI takes it; a
// system colour is 0x800000nn, the number of the system's colour in its low byte.
using Color = std::int32_t;

}  // namespace velloway
