#include "programs/render/film_encoder.h"

#include <algorithm>
#include <array>
#include <functional>
#include <span>
#include <utility>

namespace velloway::render {

// How each format is made: its muxer, its video and sound encoders and their pixels and samples.
struct FormatRecipe {
  FilmFormat Format;
  const char* Muxer;
  const char* VideoCodec;
  AVPixelFormat Pixels;
  AVPixelFormat AlphaPixels;  // with a transparent background; none: the format has no alpha
  bool Yuv;                   // pixels as BT.709 luma and chroma, studio range
  bool IntraOnly;             // each frame encoded alone: a repeated picture repeats its packet
  const char* AudioCodec;     // null: no sound
  std::int64_t AudioBitRate;
};

namespace {

// Threads each encoder runs: a fixed number, for the same bytes on any machine.
constexpr int kEncoderThreads = 4;
// Frames waiting for the encoding thread: enough that the drawing need not wait for it.
constexpr std::size_t kFramesWaiting = 2;
// Frames the pictures are converted into in turn: those the encoder's threads hold, those waiting,
// the one sent and the one converted, so that none is written over while it is held (it would be
// copied first).
constexpr std::size_t kPictureFrames = kEncoderThreads + kFramesWaiting + 2;
// Sample frames in an audio frame when the encoder takes any number.
constexpr int kAnySoundFrames = 1024;

constexpr std::array<FormatRecipe, 5> kFormats = {{
    {FilmFormat::Mp4, "mp4", "libx264", AV_PIX_FMT_YUV420P, AV_PIX_FMT_NONE, true, false, "aac",
     192'000},
    {FilmFormat::WebM, "webm", "libvpx-vp9", AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUVA420P, true, false,
     "libopus", 128'000},
    {FilmFormat::Mov, "mov", "prores_ks", AV_PIX_FMT_YUV422P10LE, AV_PIX_FMT_YUVA444P10LE, true,
     true, "pcm_s16le", 0},
    {FilmFormat::Gif, "gif", "gif", AV_PIX_FMT_PAL8, AV_PIX_FMT_PAL8, false, false, nullptr, 0},
    {FilmFormat::PngSequence, "image2", "png", AV_PIX_FMT_RGB24, AV_PIX_FMT_RGBA, false, true,
     nullptr, 0},
}};

const FormatRecipe& RecipeOf(FilmFormat format) {
  return *std::find_if(kFormats.begin(), kFormats.end(),
                       [format](const FormatRecipe& recipe) { return recipe.Format == format; });
}

// The video encoder's settings beyond size and rate, for what a roll is: one colour nearly
// everywhere, text moving steadily: the fastest that keeps the text about as sharp as slower
// settings do, each faster than real time at 1920x1080 and 50 frames a second on two cores
// (docs/performance.md).
void SetVideoOptions(FilmFormat format, bool transparent, Options& options) {
  options.Set("threads", std::to_string(kEncoderThreads));
  switch (format) {
    case FilmFormat::Mp4:
      // The plainest analysis finds text moving a pixel or so a frame; CABAC, B-frames and the
      // deblocking filter keep the file small and the edges clean. One quantiser for every frame:
      // a roll's frames are alike, and the encoder then skips the look at each frame that a
      // constant quality takes.
      options.Set("preset", "ultrafast").Set("qp", "20").Set("profile", "high");
      options.Set("x264-params", "cabac=1:bframes=3:deblock=1");
      break;
    case FilmFormat::WebM:
      options.Set("crf", "22").Set("b", "0").Set("deadline", "realtime").Set("cpu-used", "8");
      options.Set("row-mt", "1");
      break;
    case FilmFormat::Mov:
      // One quantiser for every slice: prores_ks then skips its search for each slice's, which
      // costs seven times the encoding, and keeps the text as sharp (q 1: the finest).
      options.Set("profile", transparent ? "4" : "3").Set("vendor", "apl0");  // 4444, 422 HQ
      options.Set("global_quality", std::to_string(FF_QP2LAMBDA));
      break;
    case FilmFormat::PngSequence:
      // zlib's level 3 takes half the time of its default for a tenth more bytes.
      options.Set("compression_level", "3");
      break;
    case FilmFormat::Gif:
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
  Frame Input = NewFrame();  // the sound's
};

bool FilmEncoder::HasSound(FilmFormat format) {
  return RecipeOf(format).AudioCodec != nullptr;
}

bool FilmEncoder::CarriesAlpha(FilmFormat format) {
  return RecipeOf(format).AlphaPixels != AV_PIX_FMT_NONE;
}

FilmEncoder::FilmEncoder(const FilmSettings& settings, const std::string& url, Soundtrack* sound,
                         std::optional<GifPalette> palette)
    : settings_(settings),
      palette_(std::move(palette)),
      packet_(NewPacket()),
      encoding_(kFramesWaiting) {
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
  SetVideoOptions(settings_.Format, settings_.Transparent, options);
  const AVPixelFormat pixels = settings_.Transparent ? recipe.AlphaPixels : recipe.Pixels;
  if (recipe.IntraOnly) lastPicture_.emplace();
  video_ = OpenEncoder(recipe.VideoCodec, options, [&](AVCodecContext& c, const AVCodec&) {
    c.width = settings_.Width;
    c.height = settings_.Height;
    c.pix_fmt = pixels;
    c.time_base = {1, settings_.Fps};
    c.framerate = {settings_.Fps, 1};
    if (recipe.Yuv) {
      c.color_range = AVCOL_RANGE_MPEG;
      c.colorspace = AVCOL_SPC_BT709;
      c.color_primaries = AVCOL_PRI_BT709;
      c.color_trc = AVCOL_TRC_BT709;
      c.chroma_sample_location = AVCHROMA_LOC_LEFT;  // as PictureConverter sites it
    }
  });
  // Matroska's players look for the alpha's side stream only where the track says it has one.
  if (settings_.Transparent && settings_.Format == FilmFormat::WebM) {
    Checked(av_dict_set(&video_->Stream->metadata, "alpha_mode", "1", 0), "the film's streams");
  }
  pictures_.resize(kPictureFrames);
  for (Frame& frame : pictures_) {
    frame = NewFrame();
    frame->format = pixels;
    frame->width = settings_.Width;
    frame->height = settings_.Height;
    Checked(av_frame_get_buffer(frame.get(), 0), "a frame's memory");
  }
  if (!palette_) converter_.emplace(settings_.Width, settings_.Height, pixels);
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

// The picture is converted here, while the frames before it are encoded on the encoding thread.
void FilmEncoder::Write(const raster::Picture& picture) {
  const std::int64_t number = frames_++;
  if (RepeatsLast(picture)) {
    encoding_.Post([this, number] { EncodeRepeat(number); });
  } else {
    AVFrame& frame = Convert(picture);
    frame.pts = number;
    encoding_.Post([this, &frame] { EncodeFrame(frame); });
  }
}

void FilmEncoder::EncodeFrame(const AVFrame& frame) {
  lastSent_ = frame.pts;
  Send(*video_, &frame);
  if (audio_) EncodeSoundUntil(lastSent_ + 1);
}

void FilmEncoder::EncodeRepeat(std::int64_t number) {
  // After the frame it repeats if that one is muxed already, else when it is.
  if (lastMuxed_ == lastSent_) {
    MuxRepeat(number);
  } else {
    ++repeats_[lastSent_];
  }
  if (audio_) EncodeSoundUntil(number + 1);
}

bool FilmEncoder::RepeatsLast(const raster::Picture& picture) {
  return lastPicture_ && lastPicture_->Repeats(picture);
}

// Into the next of the frames in turn, which nothing holds any more (kPictureFrames).
AVFrame& FilmEncoder::Convert(const raster::Picture& picture) {
  AVFrame& frame = *pictures_[nextPicture_];
  nextPicture_ = (nextPicture_ + 1) % pictures_.size();
  Checked(av_frame_make_writable(&frame), "a frame's memory");
  if (palette_) {
    palette_->Map(picture, frame);
  } else {
    converter_->Convert(picture, frame);
  }
  return frame;
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
    if (&encoder != video_.get()) {
      Mux(encoder, *packet_);
      continue;
    }
    // Every frame of the film lasts one frame: said, so that the muxer counts the last one in.
    packet_->duration = 1;
    const std::int64_t number = packet_->pts;
    if (lastPicture_) {
      av_packet_unref(lastPacket_.get());
      Checked(av_packet_ref(lastPacket_.get(), packet_.get()), "a packet's memory");
    }
    Mux(encoder, *packet_);
    lastMuxed_ = number;
    // The frames that repeat this one and came before it was encoded follow it.
    const auto repeated = repeats_.extract(number);
    for (std::int64_t repeat = 1; !repeated.empty() && repeat <= repeated.mapped(); ++repeat) {
      MuxRepeat(number + repeat);
    }
  }
}

// The last frame muxed again as frame `frame`, a packet of the same bytes.
void FilmEncoder::MuxRepeat(std::int64_t frame) {
  Checked(av_packet_ref(packet_.get(), lastPacket_.get()), "a packet's memory");
  packet_->pts = packet_->dts = frame;
  Mux(*video_, *packet_);
}

void FilmEncoder::Mux(const Encoder& encoder, AVPacket& packet) {
  av_packet_rescale_ts(&packet, encoder.Codec->time_base, encoder.Stream->time_base);
  packet.stream_index = encoder.Stream->index;
  Checked(av_interleaved_write_frame(muxer_->Context, &packet), "writing the film");
}

void FilmEncoder::Finish() {
  encoding_.Drain();
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
