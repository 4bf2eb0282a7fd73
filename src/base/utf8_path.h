#pragma once
// Paths and the UTF-8 text that names them inside the program: on Windows a path is wide, and
// std::filesystem reads a narrow string in the system's code page there, so both ways go through
// char8_t.
#include <filesystem>
#include <string>
#include <string_view>

namespace velloway::utf8 {

std::filesystem::path ToPath(std::string_view text);
std::string FromPath(const std::filesystem::path& path);

}  // namespace velloway::utf8
