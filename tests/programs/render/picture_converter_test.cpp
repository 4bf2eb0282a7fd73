// Pictures into an encoder's pixels: BT.709's values for plain colours, and the same bytes when
// only the lines' columns are converted as when every pixel is.
#include "programs/render/picture_converter.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "platform/posix/pango_text.h"
#include "platform/raster/raster_backend.h"

namespace velloway::render {
namespace {

constexpr Color kBackground = 0x402010;

struct Line {
  const char* text;
  float points;
  Color color;
  int left;
  int top;
};

raster::Picture Draw(int width, int height, const std::vector<Line>& lines,
                     raster::Picture::Backdrop backdrop) {
  posix::PangoText text(96);
  raster::Picture picture(width, height, backdrop);
  picture.FillRect({0, 0, width, height}, kBackground);
  for (const Line& line : lines) {
    const platform::FontSpec font{"DejaVu Sans", line.points};
    const platform::TextExtent extent = text.Measure(font, line.text);
    picture.DrawImage(
        raster::RasterTextImage(std::move(text.Draw(font, line.text, {0, extent.Width},
                                                    platform::PhaseSet(1), line.color)[0]),
                                line.color),
        line.left, line.top);
  }
  return picture;
}

Frame NewPictureFrame(int width, int height, AVPixelFormat format) {
  Frame frame = NewFrame();
  frame->format = format;
  frame->width = width;
  frame->height = height;
  Checked(av_frame_get_buffer(frame.get(), 0), "a frame");
  return frame;
}

Frame Converted(const raster::Picture& picture, AVPixelFormat format) {
  Frame frame = NewPictureFrame(picture.Width(), picture.Height(), format);
  PictureConverter(picture.Width(), picture.Height(), format).Convert(picture, *frame);
  return frame;
}

// The rows of a plane, each as many bytes as its pixels take.
std::vector<std::string> PlaneRows(const AVFrame& frame, int plane) {
  const auto format = static_cast<AVPixelFormat>(frame.format);
  const bool chroma = plane == 1 || plane == 2;
  const int down = chroma ? av_pix_fmt_desc_get(format)->log2_chroma_h : 0;
  const int bytes = av_image_get_linesize(format, frame.width, plane);
  std::vector<std::string> rows;
  for (int y = 0; y < AV_CEIL_RSHIFT(frame.height, down); ++y) {
    const auto* row = reinterpret_cast<const char*>(frame.data[plane] + y * frame.linesize[plane]);
    rows.emplace_back(row, static_cast<std::size_t>(bytes));
  }
  return rows;
}

// The first sample of each plane, of one or two bytes.
std::vector<int> FirstSamples(const AVFrame& frame) {
  const auto format = static_cast<AVPixelFormat>(frame.format);
  const bool wide = av_pix_fmt_desc_get(format)->comp[0].depth > 8;
  std::vector<int> samples;
  for (int plane = 0; plane < av_pix_fmt_count_planes(format); ++plane) {
    const std::uint8_t* sample = frame.data[plane];
    samples.push_back(wide ? sample[0] | (sample[1] << 8) : sample[0]);
  }
  return samples;
}

TEST(PictureConverter, PlainColoursTakeBt709sStudioValues) {
  const struct {
    Color color;
    raster::Picture::Backdrop backdrop;
    AVPixelFormat format;
    std::vector<int> wanted;  // the planes' first samples, in the frame's order
  } cases[] = {
      {0xFFFFFF, raster::Picture::Backdrop::Opaque, AV_PIX_FMT_YUV420P, {235, 128, 128}},
      {0x000000, raster::Picture::Backdrop::Opaque, AV_PIX_FMT_YUV420P, {16, 128, 128}},
      {0x0000FF, raster::Picture::Backdrop::Opaque, AV_PIX_FMT_YUV420P, {63, 102, 240}},
      {0xFF0000, raster::Picture::Backdrop::Opaque, AV_PIX_FMT_YUV420P, {32, 240, 118}},
      {0x0000FF, raster::Picture::Backdrop::Opaque, AV_PIX_FMT_YUV422P10LE, {250, 409, 960}},
      {0xFFFFFF, raster::Picture::Backdrop::Opaque, AV_PIX_FMT_YUVA444P10LE, {940, 512, 512, 1023}},
      {0x0000FF, raster::Picture::Backdrop::Clear, AV_PIX_FMT_YUVA444P10LE, {250, 409, 960, 0}},
      {0x00FF00, raster::Picture::Backdrop::Clear, AV_PIX_FMT_YUVA420P, {173, 42, 26, 0}},
      {0x336699, raster::Picture::Backdrop::Opaque, AV_PIX_FMT_RGB24, {0x99}},
      {0x336699, raster::Picture::Backdrop::Clear, AV_PIX_FMT_RGBA, {0x99}},
  };
  for (const auto& c : cases) {
    raster::Picture picture(64, 32, c.backdrop);
    picture.FillRect({0, 0, 64, 32}, c.color);
    EXPECT_EQ(FirstSamples(*Converted(picture, c.format)), c.wanted)
        << av_get_pix_fmt_name(c.format) << ", colour " << std::hex << c.color;
  }
}

TEST(PictureConverter, OnlyTheLinesColumnsGiveTheBytesOfEveryPixel) {
  const struct {
    const char* what;
    int width, height;
    std::vector<Line> lines;
  } cases[] = {
      {"a line whose top row is a chroma row's second",
       320,
       48,
       {{"\u2588 Velloway \u2588", 20, 0xFFFFFF, 10, 15}}},
      {"lines cut by the top and the bottom edges",
       320,
       64,
       {{"Top", 20, 0xFFFFFF, 100, -10}, {"Bottom", 20, 0x00C0FF, 30, 50}}},
      {"a line past both sides",
       162,
       66,
       {{"A line wider than the frame is", 16, 0xE0E0E0, -7, 3}}},
      {"a line at each edge, starting on odd columns",
       322,
       40,
       {{"L", 12, 0x60E060, 1, -1}, {"R", 12, 0x4040FF, 313, 14}}},
      {"a colour emoji beside text",
       256,
       48,
       {{"Smile \xF0\x9F\x98\x80 now", 18, 0xFFC040, 20, 13}}},
  };
  const struct {
    raster::Picture::Backdrop backdrop;
    AVPixelFormat format;
  } formats[] = {{raster::Picture::Backdrop::Opaque, AV_PIX_FMT_YUV420P},
                 {raster::Picture::Backdrop::Opaque, AV_PIX_FMT_YUV422P10LE},
                 {raster::Picture::Backdrop::Opaque, AV_PIX_FMT_RGB24},
                 {raster::Picture::Backdrop::Clear, AV_PIX_FMT_YUVA420P},
                 {raster::Picture::Backdrop::Clear, AV_PIX_FMT_YUVA444P10LE},
                 {raster::Picture::Backdrop::Clear, AV_PIX_FMT_RGBA}};
  for (const auto& c : cases) {
    for (const auto& f : formats) {
      const raster::Picture picture = Draw(c.width, c.height, c.lines, f.backdrop);
      // The same pixels where the picture knows nothing of its rows.
      std::vector<std::uint32_t> copy(static_cast<std::size_t>(c.width * c.height));
      std::memcpy(copy.data(), picture.Pixels(), copy.size() * sizeof(std::uint32_t));
      const raster::Picture unknown(std::span<std::uint32_t>(copy), c.width, c.height);
      const Frame lines = Converted(picture, f.format);
      const Frame every = Converted(unknown, f.format);
      for (int plane = 0; plane < av_pix_fmt_count_planes(f.format); ++plane) {
        const std::vector<std::string> got = PlaneRows(*lines, plane);
        const std::vector<std::string> wanted = PlaneRows(*every, plane);
        for (std::size_t row = 0; row < wanted.size(); ++row) {
          EXPECT_EQ(got[row], wanted[row]) << c.what << ", " << av_get_pix_fmt_name(f.format)
                                           << ", plane " << plane << ", row " << row;
        }
      }
    }
  }
}

}  // namespace
}  // namespace velloway::render
