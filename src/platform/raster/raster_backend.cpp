#include "platform/raster/raster_backend.h"

#include <cstdint>
#include <stdexcept>

#include "platform/file_listing.h"

namespace velloway::raster {
namespace {

// Where a row of a line's image holds ink: coverage above 0, or a colour not wholly transparent.
RasterTextImage::InkedColumns InkedColumnsOf(const unsigned char* row, int width, bool coverage) {
  const auto inked = [&](int column) {
    return coverage ? row[column] != 0
                    : reinterpret_cast<const std::uint32_t*>(row)[column] >> 24 != 0;
  };
  int left = 0;
  while (left < width && !inked(left)) ++left;
  if (left == width) return {};
  int right = width;
  while (!inked(right - 1)) --right;
  return {left, right};
}

// A film's window: its stage is painted whole into each frame's picture, so the window keeps
// nothing to paint, and it has no host, no controls and no input.
class RasterWindow : public platform::NativeWindow {
 public:
  explicit RasterWindow(platform::WindowId id) : id_(id) {}

  platform::WindowId Id() const override { return id_; }
  void SetCaption(std::string_view /*caption*/) override {}
  void SetBounds(const platform::PixelRect& bounds) override { bounds_ = bounds; }
  void KeepAboveOthers() override {}
  // There is no other window to go into: it stays as it is.
  platform::PixelRect EmbedIn(platform::WindowId /*host*/) override { return FillHost(); }
  platform::PixelRect FillHost() override { return {0, 0, bounds_.Width(), bounds_.Height()}; }
  platform::PixelRect OuterBounds(const platform::PixelRect& client) const override {
    return client;
  }
  void Show() override {}
  void Invalidate(const platform::PixelRect& /*area*/) override {}
  // As the X11 backend: a form goes on without controls.
  std::unique_ptr<platform::NativeControl> CreateControl(
      const platform::ControlProperties& /*properties*/,
      platform::ControlEvents& /*events*/) override {
    return nullptr;
  }

 private:
  platform::WindowId id_;
  platform::PixelRect bounds_;
};

}  // namespace

RasterTextImage::RasterTextImage(posix::LineImage image, Color color)
    : Image(std::move(image)), Ink(color) {
  cairo_surface_t* drawn = Image.get();
  const unsigned char* data = cairo_image_surface_get_data(drawn);
  if (data == nullptr) return;
  const int width = cairo_image_surface_get_width(drawn);
  const int height = cairo_image_surface_get_height(drawn);
  const int stride = cairo_image_surface_get_stride(drawn);
  const bool coverage = cairo_image_surface_get_format(drawn) == CAIRO_FORMAT_A8;
  Rows.reserve(static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    Rows.push_back(InkedColumnsOf(data + static_cast<std::ptrdiff_t>(y) * stride, width, coverage));
  }
}

RasterBackend::RasterBackend(const platform::ScreenMetrics& screen, std::string scriptFolder,
                             unsigned codePage, platform::MusicDevice& music)
    : screen_(screen),
      scriptFolder_(std::move(scriptFolder)),
      codePage_(codePage),
      music_(music),
      text_(screen.DpiY) {}

std::unique_ptr<platform::NativeWindow> RasterBackend::CreateNativeWindow(
    platform::WindowEvents& /*events*/, const platform::WindowStyle& /*style*/,
    std::string_view /*caption*/) {
  return std::make_unique<RasterWindow>(nextId_++);
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

std::vector<std::string> RasterBackend::ListFiles(std::string_view directory,
                                                  std::string_view pattern) {
  return platform::ListFiles(directory, pattern);
}

void RasterBackend::End() {
  clock_.Stop();
  throw std::runtime_error("the roll ended its program before the film's end");
}

}  // namespace velloway::raster
