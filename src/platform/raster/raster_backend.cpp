#include "platform/raster/raster_backend.h"

namespace velloway::raster {

RasterBackend::RasterBackend(const forms::ScreenMetrics& screen) : text_(screen.DpiY) {
  SetScreen(screen);
}

forms::TextExtent RasterBackend::MeasureText(const forms::FontSpec& font, std::string_view text) {
  return text_.Measure(font, text);
}

forms::PhaseImages RasterBackend::CreateTextImages(const forms::FontSpec& font,
                                                   std::string_view text, forms::TextImageSpan span,
                                                   forms::PhaseSet phases, Color color,
                                                   Color /*background*/) {
  return posix::EachWrapped(text_.Draw(font, text, span, phases, color),
                            [&](posix::LineImage drawn) {
                              return std::make_unique<RasterTextImage>(std::move(drawn), color);
                            });
}

}  // namespace velloway::raster
