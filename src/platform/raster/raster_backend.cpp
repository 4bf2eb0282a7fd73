#include "platform/raster/raster_backend.h"

namespace velloway::raster {

RasterBackend::RasterBackend(const platform::ScreenMetrics& screen) : text_(screen.DpiY) {
  SetScreen(screen);
}

platform::TextExtent RasterBackend::MeasureText(const platform::FontSpec& font,
                                                std::string_view text) {
  return text_.Measure(font, text);
}

platform::PhaseImages RasterBackend::CreateTextImages(const platform::FontSpec& font,
                                                      std::string_view text,
                                                      platform::TextImageSpan span,
                                                      platform::PhaseSet phases, Color color,
                                                      Color /*background*/) {
  return posix::EachWrapped(text_.Draw(font, text, span, phases, color),
                            [&](posix::LineImage drawn) {
                              return std::make_unique<RasterTextImage>(std::move(drawn), color);
                            });
}

}  // namespace velloway::raster
