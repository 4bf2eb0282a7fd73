#pragma once
// One palette for a whole GIF, made from the roll's own colours rather than from its frames: the
// background, and each line colour at the steps of coverage its antialiased edges take over the
// background. With one line colour every step has its entry, and frames of lines that do not
// overlap map exactly; more colours share the 255 entries, and any other pixel (lines overlapping)
// takes the nearest entry. Over a clear background, the background is the one transparent entry,
// and each line colour one solid entry: a GIF's pixels are clear or not, its edges hard.
#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "base/color.h"
#include "platform/raster/picture.h"
#include "programs/render/ffmpeg_handles.h"

namespace velloway::render {

class GifPalette {
 public:
  // inks: the lines' colours, the first 255 distinct ones counted; clear: over a clear background
  // (pictures of Backdrop::Clear).
  GifPalette(Color background, const std::vector<Color>& inks, bool clear = false);

  // The picture as palette indices into frame (PAL8, as large as the picture), the palette in
  // its second plane.
  void Map(const raster::Picture& picture, AVFrame& frame);

 private:
  std::uint8_t Nearest(std::uint32_t pixel) const;
  // The entry a pixel takes: the nearest, found once.
  std::uint8_t Index(std::uint32_t pixel);

  std::array<std::uint32_t, 256> entries_{};  // 0xAARRGGBB, as PAL8 frames hold them
  std::size_t count_ = 0;
  bool clear_;
  std::unordered_map<std::uint32_t, std::uint8_t> mapped_;
};

}  // namespace velloway::render
