#pragma once
// FFmpeg's objects, each with its one owner, and its errors as messages.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <memory>
#include <stdexcept>
#include <string>

namespace velloway::render {

// Why a film cannot be made, or cannot go on: said to the user as it stands.
class FilmError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// FFmpeg's own words for an error code.
std::string AvErrorText(int error);
// Throws FilmError ("what: FFmpeg's words") for a negative code; returns the code otherwise.
int Checked(int result, const std::string& what);

struct CodecContextDeleter {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
using CodecContext = std::unique_ptr<AVCodecContext, CodecContextDeleter>;

struct FrameDeleter {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using Frame = std::unique_ptr<AVFrame, FrameDeleter>;

struct PacketDeleter {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using Packet = std::unique_ptr<AVPacket, PacketDeleter>;

struct InputDeleter {
  void operator()(AVFormatContext* input) const { avformat_close_input(&input); }
};
using Input = std::unique_ptr<AVFormatContext, InputDeleter>;

struct ResamplerDeleter {
  void operator()(SwrContext* resampler) const { swr_free(&resampler); }
};
using Resampler = std::unique_ptr<SwrContext, ResamplerDeleter>;

struct ScalerDeleter {
  void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};
using Scaler = std::unique_ptr<SwsContext, ScalerDeleter>;

// Options handed to FFmpeg by name, as its command line names them.
class Options {
 public:
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
