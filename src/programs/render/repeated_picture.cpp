#include "programs/render/repeated_picture.h"

#include <algorithm>

namespace velloway::render {

// The row's pixels a kept row holds: those between its lines' edges, or all of them when it may
// hold anything.
std::vector<std::uint32_t> RepeatedPicture::Columns(const raster::Picture& picture, int y) {
  const raster::Picture::RowContent& content = picture.Row(y);
  const int left = content.Base ? content.InkLeft : 0;
  const int right = content.Base ? content.InkRight : picture.Width();
  const std::uint32_t* row = picture.RowPixels(y);
  return {row + left, row + right};
}

bool RepeatedPicture::Same(const raster::Picture& picture) const {
  if (picture.Width() != width_ || static_cast<std::size_t>(picture.Height()) != rows_.size()) {
    return false;
  }
  for (int y = 0; y < picture.Height(); ++y) {
    const raster::Picture::RowContent& now = picture.Row(y);
    const KeptRow& kept = rows_[static_cast<std::size_t>(y)];
    if (now.Base != kept.Content.Base || now.InkLeft != kept.Content.InkLeft ||
        now.InkRight != kept.Content.InkRight) {
      return false;
    }
    const int left = now.Base ? now.InkLeft : 0;
    if (!std::equal(kept.Pixels.begin(), kept.Pixels.end(), picture.RowPixels(y) + left)) {
      return false;
    }
  }
  return true;
}

bool RepeatedPicture::Repeats(const raster::Picture& picture) {
  if (Same(picture)) return true;
  width_ = picture.Width();
  rows_.resize(static_cast<std::size_t>(picture.Height()));
  for (int y = 0; y < picture.Height(); ++y) {
    rows_[static_cast<std::size_t>(y)] = {picture.Row(y), Columns(picture, y)};
  }
  return false;
}

}  // namespace velloway::render
