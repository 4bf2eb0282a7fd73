#pragma once
// Whether a frame's picture is the one before it, as while a WAIT holds the roll: an intra-only
// format then repeats that frame's packet instead of encoding it again. A picture is kept by
// what it knows of its rows: a row of its background alone by that pixel, any other by the
// columns its lines cover, so that keeping and comparing cost about what the lines cover.
#include <cstdint>
#include <vector>

#include "platform/raster/picture.h"

namespace velloway::render {

class RepeatedPicture {
 public:
  // Whether picture is, pixel for pixel, the one kept; if not, it is kept instead.
  bool Repeats(const raster::Picture& picture);

 private:
  struct KeptRow {
    raster::Picture::RowContent Content;
    std::vector<std::uint32_t> Pixels;  // the row's columns that are not its base
  };

  static std::vector<std::uint32_t> Columns(const raster::Picture& picture, int y);
  bool Same(const raster::Picture& picture) const;

  int width_ = 0;
  std::vector<KeptRow> rows_;
};

}  // namespace velloway::render
