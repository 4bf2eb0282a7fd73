#pragma once
// The film written through FFmpeg's libraries, frame by frame: each picture converted to the
// format's pixels, then encoded on a thread of its own with its sound track up to the same time,
// both muxed as they come. The converter, every encoder and the muxer run bit-exact, the encoders
// with a fixed number of threads, so that the same frames make the same file on any machine.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/raster/picture.h"
#include "programs/render/encoding_thread.h"
#include "programs/render/gif_palette.h"
#include "programs/render/picture_converter.h"
#include "programs/render/render_options.h"
#include "programs/render/repeated_picture.h"
#include "programs/render/soundtrack.h"

namespace velloway::render {

// How a format is made (film_encoder.cpp holds the table).
struct FormatRecipe;

struct FilmSettings {
  FilmFormat Format = FilmFormat::Mp4;
  int Width = 0;
  int Height = 0;
  int Fps = 0;
  bool Transparent = false;  // the pictures' clear background stays clear, in a format with alpha
};

class FilmEncoder {
 public:
  // Whether the format carries sound.
  static bool HasSound(FilmFormat format);
  // Whether the format may be made with a transparent background.
  static bool CarriesAlpha(FilmFormat format);

  // Starts the film at url (its file; for a numbered sequence, the pattern). sound, when given,
  // becomes its sound track and is read as the film goes on; palette maps a GIF's frames.
  // Throws FilmError when it cannot.
  FilmEncoder(const FilmSettings& settings, const std::string& url, Soundtrack* sound,
              std::optional<GifPalette> palette);
  ~FilmEncoder();
  FilmEncoder(const FilmEncoder&) = delete;
  FilmEncoder& operator=(const FilmEncoder&) = delete;

  // Encodes the next frame, and the sound up to its end.
  void Write(const raster::Picture& picture);
  // Encodes what the encoders hold back and completes the film.
  void Finish();
  std::int64_t FramesWritten() const { return frames_; }

 private:
  struct Muxer;
  struct Encoder;

  std::unique_ptr<Encoder> OpenEncoder(
      const char* name, Options& options,
      const std::function<void(AVCodecContext&, const AVCodec&)>& set);
  void OpenVideo(const FormatRecipe& recipe);
  void OpenSound(const FormatRecipe& recipe, Soundtrack& sound);

  AVFrame& Convert(const raster::Picture& picture);
  // On the encoding thread: a frame converted, or the frame before it again, and the sound up to
  // their end.
  void EncodeFrame(const AVFrame& frame);
  void EncodeRepeat(std::int64_t number);
  void EncodeSoundUntil(std::int64_t frames);
  void EncodeSound(int frames);
  // Whether the picture is the one sent last (a WAIT holds the roll), for a format that may
  // repeat that frame's packet.
  bool RepeatsLast(const raster::Picture& picture);
  // Hands a frame (null: the end) to an encoder and muxes what comes out.
  void Send(Encoder& encoder, const AVFrame* frame);
  void Mux(const Encoder& encoder, AVPacket& packet);
  void MuxRepeat(std::int64_t frame);

  FilmSettings settings_;
  std::unique_ptr<Muxer> muxer_;
  std::unique_ptr<Encoder> video_;
  std::unique_ptr<Encoder> audio_;
  std::optional<GifPalette> palette_;
  std::optional<PictureConverter> converter_;  // all but a GIF's
  std::vector<Frame> pictures_;                // the video's frames, used in turn
  std::size_t nextPicture_ = 0;
  Soundtrack* sound_ = nullptr;
  Resampler soundConverter_;
  std::vector<float> soundSamples_;
  Packet packet_;
  std::int64_t frames_ = 0;                     // written
  std::optional<RepeatedPicture> lastPicture_;  // the picture sent last, when it may repeat
  // The encoding thread's own:
  std::int64_t soundFrames_ = 0;     // sample frames encoded
  std::int64_t lastSent_ = 0;        // the frame sent last, by its number
  Packet lastPacket_ = NewPacket();  // the video's packet muxed last, when pictures may repeat
  std::int64_t lastMuxed_ = -1;      // its frame's number
  // The frames that repeat a frame sent, by its number.
  std::map<std::int64_t, std::int64_t> repeats_;
  EncodingThread encoding_;  // last: it stops before what it uses goes
};

}  // namespace velloway::render
