#pragma once
// FFmpeg's objects, each with its one owner, made or refused as a FilmError, and its errors as
// messages.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
}

#include <memory>
#include <string>
#include <string_view>

#include "programs/render/film_error.h"

namespace velloway::render {

// FFmpeg's own words for an error code.
std::string AvErrorText(int error);
// Throws FilmError ("what: FFmpeg's words") for a negative code; returns the code otherwise.
int Checked(int result, const std::string& what);

// Throws FilmError ("what: out of memory").
[[noreturn]] void OutOfMemory(std::string_view what);
// What an allocation of FFmpeg's made, for `what`; throws FilmError when it made nothing.
template <typename T>
T* Allocated(T* made, std::string_view what) {
  if (made == nullptr) OutOfMemory(what);
  return made;
}

struct CodecContextDeleter {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
using CodecContext = std::unique_ptr<AVCodecContext, CodecContextDeleter>;

struct FrameDeleter {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using Frame = std::unique_ptr<AVFrame, FrameDeleter>;
// A frame without its buffers; throws FilmError when there is no memory for it.
Frame NewFrame();

struct PacketDeleter {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using Packet = std::unique_ptr<AVPacket, PacketDeleter>;
Packet NewPacket();

struct InputDeleter {
  void operator()(AVFormatContext* input) const { avformat_close_input(&input); }
};
using Input = std::unique_ptr<AVFormatContext, InputDeleter>;

struct ResamplerDeleter {
  void operator()(SwrContext* resampler) const { swr_free(&resampler); }
};
using Resampler = std::unique_ptr<SwrContext, ResamplerDeleter>;

struct BufferDeleter {
  void operator()(unsigned char* buffer) const { av_free(buffer); }
};
using Buffer = std::unique_ptr<unsigned char, BufferDeleter>;

// Options handed to FFmpeg by name, as its command line names them.
class Options {
 public:
  // Throws FilmError when there is no memory to keep it.
  Options& Set(const char* key, const std::string& value);
  // For a call that takes the options and leaves behind those it did not use.
  AVDictionary** Address() { return &dictionary_; }
  ~Options() { av_dict_free(&dictionary_); }
  Options() = default;
  Options(const Options&) = delete;
  Options& operator=(const Options&) = delete;

 private:
  AVDictionary* dictionary_ = nullptr;
};

}  // namespace velloway::render
