#pragma once
// Why a film cannot be made, apart from the libraries that make it: naming it costs no FFmpeg
// header.
#include <stdexcept>

namespace velloway::render {

// Why a film cannot be made, or cannot go on: said to the user as it stands.
class FilmError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace velloway::render
