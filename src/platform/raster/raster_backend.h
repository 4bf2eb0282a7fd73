#pragma once
// The renderer's backend: the headless backend's windows and virtual clock, with lines measured
// and drawn by Pango as the Linux program's are, into pictures in memory. Needs no display.
#include <memory>
#include <string_view>
#include <utility>

#include "platform/headless/headless_backend.h"
#include "platform/posix/pango_text.h"

namespace velloway::raster {

// A line's image: its coverage, to be laid over a picture in its colour, or, for a line a colour
// font shows part of, the line in its colours, premultiplied, laid over as it is.
struct RasterTextImage : platform::TextImage {
  RasterTextImage(posix::LineImage image, Color color) : Image(std::move(image)), Ink(color) {}
  std::size_t Bytes() const override {
    return static_cast<std::size_t>(cairo_image_surface_get_stride(Image.get())) *
           static_cast<std::size_t>(cairo_image_surface_get_height(Image.get()));
  }
  posix::LineImage Image;
  Color Ink;
};

class RasterBackend : public headless::HeadlessBackend {
 public:
  // A screen of that size, DPI and refresh rate, the text at its DPI.
  explicit RasterBackend(const platform::ScreenMetrics& screen);

  platform::TextExtent MeasureText(const platform::FontSpec& font, std::string_view text) override;
  // The background needs no drawing: the image is laid over whatever lies beneath.
  platform::PhaseImages CreateTextImages(const platform::FontSpec& font, std::string_view text,
                                         platform::TextImageSpan span, platform::PhaseSet phases,
                                         Color color, Color background) override;

 private:
  posix::PangoText text_;
};

}  // namespace velloway::raster
