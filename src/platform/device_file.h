#pragma once
#include <string>

namespace velloway::platform {

// Whether a path (UTF-8) names a device or a pipe rather than a file: reading one may give
// endless bytes or wait for ever. Under Wine a Unix device or FIFO in a folder is listed like a
// file, yet the C++ library finds nothing there; the system's own file functions tell.
bool IsDeviceOrPipe(const std::string& utf8Path);

}  // namespace velloway::platform
