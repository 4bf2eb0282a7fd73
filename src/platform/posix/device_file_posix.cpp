#include <filesystem>
#include <system_error>

#include "platform/device_file.h"

namespace velloway::platform {

bool IsDeviceOrPipe(const std::string& utf8Path) {
  std::error_code error;
  const auto status =
      std::filesystem::status(std::u8string(utf8Path.begin(), utf8Path.end()), error);
  return std::filesystem::is_character_file(status) || std::filesystem::is_block_file(status) ||
         std::filesystem::is_fifo(status) || std::filesystem::is_socket(status);
}

}  // namespace velloway::platform
