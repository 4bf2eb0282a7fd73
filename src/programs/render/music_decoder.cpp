#include "programs/render/music_decoder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/device_file.h"

namespace velloway::render {
namespace {

constexpr int kIoBufferBytes = 64 * 1024;

// A file descriptor and its one owner.
class FileHandle {
 public:
  explicit FileHandle(int fd) : fd_(fd) {}
  ~FileHandle() {
    if (fd_ >= 0) close(fd_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  int Fd() const { return fd_; }

 private:
  int fd_;
};

int ReadPacket(void* opaque, std::uint8_t* buffer, int size) {
  const ssize_t got =
      read(static_cast<FileHandle*>(opaque)->Fd(), buffer, static_cast<std::size_t>(size));
  if (got < 0) return AVERROR(errno);
  return got == 0 ? AVERROR_EOF : static_cast<int>(got);
}

std::int64_t Seek(void* opaque, std::int64_t offset, int whence) {
  const int fd = static_cast<FileHandle*>(opaque)->Fd();
  if (whence == AVSEEK_SIZE) {
    struct stat status {};
    return fstat(fd, &status) == 0 ? status.st_size : AVERROR(errno);
  }
  const off_t at = lseek(fd, offset, whence & ~AVSEEK_FORCE);
  return at < 0 ? AVERROR(errno) : at;
}

struct IoContextDeleter {
  void operator()(AVIOContext* io) const {
    av_freep(&io->buffer);
    avio_context_free(&io);
  }
};

}  // namespace

// What decoding reads from, freed in the reverse order of its making.
struct MusicDecoder::Source {
  // Each step of the opening: empty when it went well, else why the music cannot be decoded.
  std::string OpenFile(const std::string& path);
  std::string OpenDecoder();
  std::string OpenConverter();

  std::unique_ptr<FileHandle> File;
  std::unique_ptr<AVIOContext, IoContextDeleter> Io;
  Input Format;
  CodecContext Decoder;
  Resampler Converter;
  Packet Read = NewPacket();
  Frame Decoded = NewFrame();
  int Stream = -1;
  bool Drained = false;  // the file is read; the decoder is being emptied
};

std::string MusicDecoder::Source::OpenFile(const std::string& path) {
  platform::CheckedFile checked(path);
  if (checked.Kind() == platform::FileKind::DeviceOrPipe) return "a device or a pipe, not a file";
  if (checked.Kind() != platform::FileKind::Regular) return "not found";
  File = std::make_unique<FileHandle>(static_cast<int>(checked.TakeHandle()));
  Buffer buffer(static_cast<unsigned char*>(Allocated(av_malloc(kIoBufferBytes), "reading music")));
  Io.reset(Allocated(
      avio_alloc_context(buffer.get(), kIoBufferBytes, 0, File.get(), ReadPacket, nullptr, Seek),
      "reading music"));
  buffer.release();  // the context's now
  AVFormatContext* format = Allocated(avformat_alloc_context(), "reading music");
  format->pb = Io.get();
  // The name only hints at the format: the file is read through the handle. Only the music
  // formats are read: a playlist or a concatenation would open other files, or the network.
  Options options;
  options.Set("format_whitelist", "wav,mp3,ogg,flac");
  const int error = avformat_open_input(&format, path.c_str(), nullptr, options.Address());
  if (error < 0) return "not music FFmpeg reads (" + AvErrorText(error) + ")";
  Format.reset(format);
  return {};
}

std::string MusicDecoder::Source::OpenDecoder() {
  const AVCodec* codec = nullptr;
  if (avformat_find_stream_info(Format.get(), nullptr) >= 0) {
    Stream = av_find_best_stream(Format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
  }
  if (Stream < 0 || codec == nullptr) return "no sound FFmpeg decodes in it";
  Decoder.reset(Allocated(avcodec_alloc_context3(codec), "decoding music"));
  if (avcodec_parameters_to_context(Decoder.get(), Format->streams[Stream]->codecpar) < 0 ||
      avcodec_open2(Decoder.get(), codec, nullptr) < 0) {
    return "its sound cannot be decoded";
  }
  return {};
}

std::string MusicDecoder::Source::OpenConverter() {
  AVChannelLayout stereo{};
  av_channel_layout_default(&stereo, kChannels);
  SwrContext* converter = nullptr;
  const int made =
      swr_alloc_set_opts2(&converter, &stereo, AV_SAMPLE_FMT_FLT, kSampleRate, &Decoder->ch_layout,
                          Decoder->sample_fmt, Decoder->sample_rate, 0, nullptr);
  Converter.reset(converter);
  if (made < 0 || swr_init(converter) < 0) {
    return "its sound cannot be converted to " + std::to_string(kSampleRate) + " Hz stereo";
  }
  return {};
}

std::unique_ptr<MusicDecoder> MusicDecoder::Open(const std::string& path, std::string& why) {
  auto source = std::make_unique<Source>();
  why = source->OpenFile(path);
  if (why.empty()) why = source->OpenDecoder();
  if (why.empty()) why = source->OpenConverter();
  if (!why.empty()) return nullptr;
  return std::unique_ptr<MusicDecoder>(new MusicDecoder(std::move(source)));
}

MusicDecoder::MusicDecoder(std::unique_ptr<Source> source) : source_(std::move(source)) {}

MusicDecoder::~MusicDecoder() = default;

std::optional<std::int64_t> MusicDecoder::DurationUs() const {
  const std::int64_t duration = source_->Format->duration;
  if (duration <= 0) return std::nullopt;
  return av_rescale_q(duration, AVRational{1, AV_TIME_BASE}, AVRational{1, 1'000'000});
}

std::size_t MusicDecoder::Read(std::span<float> out) {
  const std::size_t wanted = out.size() / kChannels;
  Decode(wanted);
  const std::size_t frames = std::min(wanted, pending_.size() / kChannels);
  const auto samples = static_cast<std::ptrdiff_t>(frames * kChannels);
  std::copy(pending_.begin(), pending_.begin() + samples, out.begin());
  pending_.erase(pending_.begin(), pending_.begin() + samples);
  return frames;
}

void MusicDecoder::Decode(std::size_t frames) {
  Source& s = *source_;
  while (!ended_ && pending_.size() / kChannels < frames) {
    const int received = avcodec_receive_frame(s.Decoder.get(), s.Decoded.get());
    if (received == 0) {
      Convert(s.Decoded.get());
      av_frame_unref(s.Decoded.get());
      continue;
    }
    if (received != AVERROR(EAGAIN) || s.Drained) {
      // The decoder is empty, or the rest of the file cannot be decoded: what the converter
      // holds back comes last.
      Convert(nullptr);
      ended_ = true;
      break;
    }
    if (av_read_frame(s.Format.get(), s.Read.get()) < 0) {
      s.Drained = true;
      avcodec_send_packet(s.Decoder.get(), nullptr);
      continue;
    }
    if (s.Read->stream_index == s.Stream) avcodec_send_packet(s.Decoder.get(), s.Read.get());
    av_packet_unref(s.Read.get());
  }
}

// Appends a decoded frame, converted, to what is pending; null flushes the converter.
void MusicDecoder::Convert(const AVFrame* frame) {
  SwrContext* converter = source_->Converter.get();
  const int in = frame == nullptr ? 0 : frame->nb_samples;
  const int room = swr_get_out_samples(converter, in);
  if (room <= 0) return;
  const std::size_t before = pending_.size();
  pending_.resize(before + static_cast<std::size_t>(room) * kChannels);
  auto* out = reinterpret_cast<std::uint8_t*>(pending_.data() + before);
  const auto** planes =
      frame == nullptr ? nullptr : const_cast<const std::uint8_t**>(frame->extended_data);
  const int made = swr_convert(converter, &out, room, planes, in);
  pending_.resize(before + static_cast<std::size_t>(std::max(made, 0)) * kChannels);
}

}  // namespace velloway::render
