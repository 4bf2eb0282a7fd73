#pragma once
// The script files a folder holds, as the platform lists them: its twins live with their
// platform (posix/file_listing_posix.cpp, win32/file_listing_win32.cpp).
#include <string>
#include <string_view>
#include <vector>

namespace velloway::platform {

// The names of the normal files (no folders, hidden or system files) in `directory` whose names
// match `pattern` ("*.vws": the ending, without regard to case, as Windows matches it), in the
// platform's listing order: Windows' own; elsewhere the names' byte order.
std::vector<std::string> ListFiles(std::string_view directory, std::string_view pattern);

}  // namespace velloway::platform
