#include "programs/render/ffmpeg_handles.h"

#include <array>

namespace velloway::render {

std::string AvErrorText(int error) {
  std::array<char, AV_ERROR_MAX_STRING_SIZE> text{};
  if (av_strerror(error, text.data(), text.size()) != 0) return "error " + std::to_string(error);
  return text.data();
}

int Checked(int result, const std::string& what) {
  if (result < 0) throw FilmError(what + ": " + AvErrorText(result));
  return result;
}

void OutOfMemory(std::string_view what) {
  throw FilmError(std::string(what) + ": out of memory");
}

Frame NewFrame() {
  return Frame(Allocated(av_frame_alloc(), "a frame"));
}

Packet NewPacket() {
  return Packet(Allocated(av_packet_alloc(), "a packet"));
}

Options& Options::Set(const char* key, const std::string& value) {
  Checked(av_dict_set(&dictionary_, key, value.c_str(), 0), std::string("the option ") + key);
  return *this;
}

}  // namespace velloway::render
