#include "programs/render/gif_palette.h"

#include <algorithm>
#include <cstring>

namespace velloway::render {
namespace {

constexpr std::size_t kEntries = 256;
// Over a clear background, a pixel at least half covered shows its line.
constexpr std::uint32_t kHalfCovered = 128;
int Distance(std::uint32_t a, std::uint32_t b) {
  int sum = 0;
  for (const int shift : {0, 8, 16}) {
    const int d = static_cast<int>((a >> shift) & 0xFFu) - static_cast<int>((b >> shift) & 0xFFu);
    sum += d * d;
  }
  return sum;
}

}  // namespace

GifPalette::GifPalette(Color background, const std::vector<Color>& inks, bool clear)
    : clear_(clear) {
  std::vector<Color> distinct;
  for (const Color ink : inks) {
    if (ink != background && distinct.size() < kEntries - 1 &&
        std::find(distinct.begin(), distinct.end(), ink) == distinct.end()) {
      distinct.push_back(ink);
    }
  }
  const std::uint32_t under = raster::Picture::PixelOf(background);
  // The GIF encoder takes the entry of least alpha for its transparent colour.
  entries_[count_++] = clear ? under & 0x00FFFFFFu : under;
  if (distinct.empty()) return;
  const std::size_t steps = clear ? 1 : (kEntries - 1) / distinct.size();
  for (const Color ink : distinct) {
    const std::uint32_t over = raster::Picture::PixelOf(ink);
    for (std::size_t step = 1; step <= steps; ++step) {
      const auto alpha = static_cast<std::uint32_t>((step * 255 + steps / 2) / steps);
      entries_[count_++] = raster::Picture::Over(over, under, alpha);
    }
  }
}

std::uint8_t GifPalette::Nearest(std::uint32_t pixel) const {
  if (clear_ && (pixel >> 24 < kHalfCovered || count_ == 1)) return 0;
  std::size_t best = clear_ ? 1 : 0;
  for (std::size_t i = best + 1; i < count_; ++i) {
    if (Distance(pixel, entries_[i]) < Distance(pixel, entries_[best])) best = i;
  }
  return static_cast<std::uint8_t>(best);
}

std::uint8_t GifPalette::Index(std::uint32_t pixel) {
  const auto [at, added] = mapped_.try_emplace(pixel, 0);
  if (added) at->second = Nearest(pixel);
  return at->second;
}

void GifPalette::Map(const raster::Picture& picture, AVFrame& frame) {
  std::memcpy(frame.data[1], entries_.data(), sizeof entries_);
  std::uint32_t last = ~entries_[0];
  std::uint8_t lastIndex = 0;
  for (int y = 0; y < picture.Height(); ++y) {
    const std::uint8_t* row = picture.Pixels() + static_cast<std::ptrdiff_t>(y) * picture.Stride();
    std::uint8_t* out = frame.data[0] + static_cast<std::ptrdiff_t>(y) * frame.linesize[0];
    // A row of its base but where lines lie is that base's entry, and only the lines' columns
    // are looked up.
    const raster::Picture::RowContent& content = picture.Row(y);
    int left = 0;
    int right = picture.Width();
    if (content.Base) {
      std::memset(out, Index(*content.Base), static_cast<std::size_t>(picture.Width()));
      left = content.InkLeft;
      right = content.InkRight;
    }
    for (int x = left; x < right; ++x) {
      std::uint32_t pixel = 0;
      std::memcpy(&pixel, row + static_cast<std::ptrdiff_t>(x) * 4, sizeof pixel);
      if (pixel != last) {
        last = pixel;
        lastIndex = Index(pixel);
      }
      out[x] = lastIndex;
    }
  }
}

}  // namespace velloway::render
