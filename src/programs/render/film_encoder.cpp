#include "programs/render/film_encoder.h"

#include <algorithm>
#include <array>
#include <functional>
#include <span>

namespace velloway::render {

// How each format is made: its muxer, its video and sound encoders and their pixels and samples.
struct FormatRecipe {
  FilmFormat Format;
  const char* Muxer;
  const char* VideoCodec;
  AVPixelFormat Pixels;
  bool Yuv;                // pixels as BT.709 luma and chroma, studio range
  const char* AudioCodec;  // null: no sound
  std::int64_t AudioBitRate;
};

namespace {

// Threads each encoder runs: a fixed number, for the same bytes on any machine.
constexpr int kEncoderThreads = 4;
// Sample frames in an audio frame when the encoder takes any number.
constexpr int kAnySoundFrames = 1024;

constexpr std::array<FormatRecipe, 5> kFormats = {{
    {FilmFormat::Mp4, "mp4", "libx264", AV_PIX_FMT_YUV420P, true, "aac", 192'000},
    {FilmFormat::WebM, "webm", "libvpx-vp9", AV_PIX_FMT_YUV420P, true, "libopus", 128'000},
    {FilmFormat::Mov, "mov", "prores_ks", AV_PIX_FMT_YUV422P10LE, true, "pcm_s16le", 0},
    {FilmFormat::Gif, "gif", "gif", AV_PIX_FMT_PAL8, false, nullptr, 0},
    {FilmFormat::PngSequence, "image2", "png", AV_PIX_FMT_RGB24, false, nullptr, 0},
}};

const FormatRecipe& RecipeOf(FilmFormat format) {
  return *std::find_if(kFormats.begin(), kFormats.end(),
                       [format](const FormatRecipe& recipe) { return recipe.Format == format; });
}

// The video encoder's settings beyond size and rate: good quality for text on a plain
// background, at a speed well above real time.
void SetVideoOptions(FilmFormat format, Options& options) {
  options.Set("threads", std::to_string(kEncoderThreads));
  switch (format) {
    case FilmFormat::Mp4:
      options.Set("preset", "veryfast").Set("crf", "18").Set("profile", "high");
      break;
    case FilmFormat::WebM:
      options.Set("crf", "31").Set("b", "0").Set("deadline", "good").Set("cpu-used", "4");
      options.Set("row-mt", "1");
      break;
    case FilmFormat::Mov:
      options.Set("profile", "3").Set("vendor", "apl0");  // 422 HQ
      break;
    case FilmFormat::Gif:
    case FilmFormat::PngSequence:
      break;
  }
}

const AVCodec* FindEncoder(const char* name) {
  const AVCodec* codec = avcodec_find_encoder_by_name(name);
  if (codec == nullptr) {
    throw FilmError(std::string("this FFmpeg has no ") + name + " encoder");
  }
  return codec;
}

AVChannelLayout Stereo() {
  AVChannelLayout stereo{};
  av_channel_layout_default(&stereo, kChannels);
  return stereo;
}

}  // namespace

struct FilmEncoder::Muxer {
  explicit Muxer(AVFormatContext* context) : Context(context) {}
  ~Muxer() {
    if (!(Context->oformat->flags & AVFMT_NOFILE)) avio_closep(&Context->pb);
    avformat_free_context(Context);
  }
  Muxer(const Muxer&) = delete;
  Muxer& operator=(const Muxer&) = delete;
  AVFormatContext* Context;
};

struct FilmEncoder::Encoder {
  CodecContext Codec;
  AVStream* Stream = nullptr;
  Frame Input = NewFrame();
};

bool FilmEncoder::HasSound(FilmFormat format) {
  return RecipeOf(format).AudioCodec != nullptr;
}

FilmEncoder::FilmEncoder(const FilmSettings& settings, const std::string& url, Soundtrack* sound,
                         std::optional<GifPalette> palette)
    : settings_(settings), palette_(std::move(palette)), packet_(NewPacket()) {
  const FormatRecipe& recipe = RecipeOf(settings.Format);
  AVFormatContext* context = nullptr;
  Checked(avformat_alloc_output_context2(&context, nullptr, recipe.Muxer, url.c_str()),
          "the film's format");
  muxer_ = std::make_unique<Muxer>(context);
  context->flags |= AVFMT_FLAG_BITEXACT;
  OpenVideo(recipe);
  if (sound != nullptr && recipe.AudioCodec != nullptr) OpenSound(recipe, *sound);
  if (!(context->oformat->flags & AVFMT_NOFILE)) {
    Checked(avio_open(&context->pb, url.c_str(), AVIO_FLAG_WRITE), "cannot write " + url);
  }
  Options muxerOptions;
  // The index first, so that a player may start before the whole file has come.
  if (settings.Format == FilmFormat::Mp4) muxerOptions.Set("movflags", "+faststart");
  Checked(avformat_write_header(context, muxerOptions.Address()), "the film's header");
}

std::unique_ptr<FilmEncoder::Encoder> FilmEncoder::OpenEncoder(
    const char* name, Options& options,
    const std::function<void(AVCodecContext&, const AVCodec&)>& set) {
  const AVCodec* codec = FindEncoder(name);
  auto encoder = std::make_unique<Encoder>();
  encoder->Codec.reset(
      Allocated(avcodec_alloc_context3(codec), std::string("the ") + name + " encoder"));
  AVCodecContext& c = *encoder->Codec;
  set(c, *codec);
  c.flags |= AV_CODEC_FLAG_BITEXACT;
  if (muxer_->Context->oformat->flags & AVFMT_GLOBALHEADER) {
    c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  }
  Checked(avcodec_open2(&c, codec, options.Address()), std::string("the ") + name + " encoder");
  encoder->Stream = Allocated(avformat_new_stream(muxer_->Context, nullptr), "the film's streams");
  Checked(avcodec_parameters_from_context(encoder->Stream->codecpar, &c), "the film's streams");
  encoder->Stream->time_base = c.time_base;
  return encoder;
}

void FilmEncoder::OpenVideo(const FormatRecipe& recipe) {
  Options options;
  SetVideoOptions(settings_.Format, options);
  video_ = OpenEncoder(recipe.VideoCodec, options, [&](AVCodecContext& c, const AVCodec&) {
    c.width = settings_.Width;
    c.height = settings_.Height;
    c.pix_fmt = recipe.Pixels;
    c.time_base = {1, settings_.Fps};
    c.framerate = {settings_.Fps, 1};
    if (recipe.Yuv) {
      c.color_range = AVCOL_RANGE_MPEG;
      c.colorspace = AVCOL_SPC_BT709;
      c.color_primaries = AVCOL_PRI_BT709;
      c.color_trc = AVCOL_TRC_BT709;
    }
  });
  AVFrame& picture = *video_->Input;
  picture.format = recipe.Pixels;
  picture.width = settings_.Width;
  picture.height = settings_.Height;
  Checked(av_frame_get_buffer(&picture, 0), "a frame's memory");
  if (!palette_) converter_.emplace(settings_.Width, settings_.Height, recipe.Pixels, recipe.Yuv);
}

void FilmEncoder::OpenSound(const FormatRecipe& recipe, Soundtrack& sound) {
  sound_ = &sound;
  Options options;
  audio_ = OpenEncoder(recipe.AudioCodec, options, [&](AVCodecContext& c, const AVCodec& codec) {
    c.sample_fmt = codec.sample_fmts != nullptr ? codec.sample_fmts[0] : AV_SAMPLE_FMT_S16;
    c.sample_rate = kSampleRate;
    c.ch_layout = Stereo();
    c.time_base = {1, kSampleRate};
    if (recipe.AudioBitRate > 0) c.bit_rate = recipe.AudioBitRate;
  });
  const AVCodecContext& c = *audio_->Codec;
  AVFrame& samples = *audio_->Input;
  samples.format = c.sample_fmt;
  samples.sample_rate = kSampleRate;
  samples.ch_layout = Stereo();
  samples.nb_samples = c.frame_size > 0 ? c.frame_size : kAnySoundFrames;
  Checked(av_frame_get_buffer(&samples, 0), "a sound frame's memory");
  AVChannelLayout stereo = Stereo();
  SwrContext* converter = nullptr;
  Checked(swr_alloc_set_opts2(&converter, &stereo, c.sample_fmt, kSampleRate, &stereo,
                              AV_SAMPLE_FMT_FLT, kSampleRate, 0, nullptr),
          "the sound's conversion");
  soundConverter_.reset(converter);
  Checked(swr_init(converter), "the sound's conversion");
  soundSamples_.resize(static_cast<std::size_t>(samples.nb_samples) * kChannels);
}

FilmEncoder::~FilmEncoder() = default;

void FilmEncoder::Write(const raster::Picture& picture) {
  Convert(picture);
  video_->Input->pts = frames_++;
  Send(*video_, video_->Input.get());
  if (audio_) EncodeSoundUntil(frames_);
}

void FilmEncoder::Convert(const raster::Picture& picture) {
  AVFrame& frame = *video_->Input;
  Checked(av_frame_make_writable(&frame), "a frame's memory");
  if (palette_) {
    palette_->Map(picture, frame);
    return;
  }
  converter_->Convert(picture, frame);
}

// The sound up to the end of the first `frames` video frames.
void FilmEncoder::EncodeSoundUntil(std::int64_t frames) {
  const std::int64_t target = frames * kSampleRate / settings_.Fps;
  const int size = audio_->Input->nb_samples;
  while (target - soundFrames_ >= size) EncodeSound(size);
}

void FilmEncoder::EncodeSound(int frames) {
  AVFrame& samples = *audio_->Input;
  Checked(av_frame_make_writable(&samples), "a sound frame's memory");
  const std::span<float> read(soundSamples_.data(), static_cast<std::size_t>(frames) * kChannels);
  sound_->Read(read);
  const auto* in = reinterpret_cast<const std::uint8_t*>(read.data());
  samples.nb_samples = frames;
  Checked(swr_convert(soundConverter_.get(), samples.data, frames, &in, frames),
          "the sound's conversion");
  samples.pts = soundFrames_;
  soundFrames_ += frames;
  Send(*audio_, &samples);
}

void FilmEncoder::Send(Encoder& encoder, const AVFrame* frame) {
  Checked(avcodec_send_frame(encoder.Codec.get(), frame), "encoding");
  while (true) {
    const int received = avcodec_receive_packet(encoder.Codec.get(), packet_.get());
    if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return;
    Checked(received, "encoding");
    // Every frame of the film lasts one frame: said, so that the muxer counts the last one in.
    if (&encoder == video_.get()) packet_->duration = 1;
    av_packet_rescale_ts(packet_.get(), encoder.Codec->time_base, encoder.Stream->time_base);
    packet_->stream_index = encoder.Stream->index;
    Checked(av_interleaved_write_frame(muxer_->Context, packet_.get()), "writing the film");
  }
}

void FilmEncoder::Finish() {
  if (audio_) {
    EncodeSoundUntil(frames_);
    const auto rest = static_cast<int>(frames_ * kSampleRate / settings_.Fps - soundFrames_);
    if (rest > 0) EncodeSound(rest);
    Send(*audio_, nullptr);
  }
  Send(*video_, nullptr);
  Checked(av_write_trailer(muxer_->Context), "completing the film");
  if (!(muxer_->Context->oformat->flags & AVFMT_NOFILE)) {
    Checked(avio_closep(&muxer_->Context->pb), "completing the film");
  }
}

}  // namespace velloway::render
