// Pictures converted in strips, the background's converted once and only the lines' columns
// each frame, come out as the same bytes as whole frames through libswscale.
#include "programs/render/picture_converter.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

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

raster::Picture Draw(int width, int height, const std::vector<Line>& lines) {
  posix::PangoText text(96);
  raster::Picture picture(width, height);
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

// The whole picture through libswscale at once, set up as the films are.
Frame WholeFrame(const raster::Picture& picture, AVPixelFormat format, bool yuv) {
  Frame frame = NewPictureFrame(picture.Width(), picture.Height(), format);
  const Scaler scaler(sws_getContext(
      picture.Width(), picture.Height(), AV_PIX_FMT_BGRA, picture.Width(), picture.Height(), format,
      SWS_BILINEAR | SWS_BITEXACT | SWS_ACCURATE_RND, nullptr, nullptr, nullptr));
  if (yuv) {
    sws_setColorspaceDetails(scaler.get(), sws_getCoefficients(SWS_CS_DEFAULT), 1,
                             sws_getCoefficients(SWS_CS_ITU709), 0, 0, 1 << 16, 1 << 16);
  }
  const std::uint8_t* source = picture.Pixels();
  const int stride = picture.Stride();
  sws_scale(scaler.get(), &source, &stride, 0, picture.Height(), frame->data, frame->linesize);
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

TEST(PictureConverter, StripsGiveTheBytesOfWholeFrames) {
  const struct {
    const char* what;
    int width, height;
    std::vector<Line> lines;
  } cases[] = {
      // Full blocks have ink in their line's top row.
      {"a line whose top row is a strip's last row",
       320,
       48,
       {{"\u2588 Velloway \u2588", 20, 0xFFFFFF, 10, 15}}},
      {"lines cut by the top and the bottom edges",
       320,
       64,
       {{"Top", 20, 0xFFFFFF, 100, -10}, {"Bottom", 20, 0x00C0FF, 30, 50}}},
      {"a width of no whole tiles, a line past both sides, the background below",
       162,
       66,
       {{"A line wider than the frame is", 16, 0xE0E0E0, -7, 3}}},
      {"a line in the last tile, another in the first",
       322,
       40,
       {{"L", 12, 0x60E060, 1, -1}, {"R", 12, 0x4040FF, 312, 14}}},
      {"a colour emoji beside text",
       256,
       48,
       {{"Smile \xF0\x9F\x98\x80 now", 18, 0xFFC040, 20, 13}}},
  };
  const struct {
    AVPixelFormat format;
    bool yuv;
  } formats[] = {
      {AV_PIX_FMT_YUV420P, true}, {AV_PIX_FMT_YUV422P10LE, true}, {AV_PIX_FMT_RGB24, false}};
  for (const auto& c : cases) {
    const raster::Picture picture = Draw(c.width, c.height, c.lines);
    for (const auto& f : formats) {
      PictureConverter converter(c.width, c.height, f.format, f.yuv);
      const Frame strips = NewPictureFrame(c.width, c.height, f.format);
      converter.Convert(picture, *strips);
      const Frame whole = WholeFrame(picture, f.format, f.yuv);
      for (int plane = 0; plane < av_pix_fmt_count_planes(f.format); ++plane) {
        const std::vector<std::string> got = PlaneRows(*strips, plane);
        const std::vector<std::string> wanted = PlaneRows(*whole, plane);
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
