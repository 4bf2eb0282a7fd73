#pragma once
// The renderer's backend: a film's stage in memory, needing no display. Its windows take no
// input and hold no controls; its time is a virtual clock the film lets pass frame by frame;
// lines are measured and drawn by Pango, as the Linux program's are, into pictures in memory;
// its music device is the film's; file names are read the POSIX way.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/backend.h"
#include "platform/memory_settings.h"
#include "platform/posix/pango_text.h"
#include "platform/virtual_clock.h"

namespace velloway::raster {

// A line's image: its coverage, to be laid over a picture in its colour, or, for a line a colour
// font shows part of, the line in its colours, premultiplied, laid over as it is.
struct RasterTextImage : platform::TextImage {
  // The columns [Left, Right) of an image's row outside which it lays nothing; none (Left ==
  // Right) in a row it leaves clear.
  struct InkedColumns {
    int Left = 0;
    int Right = 0;
  };

  RasterTextImage(posix::LineImage image, Color color);
  std::size_t Bytes() const override {
    return static_cast<std::size_t>(cairo_image_surface_get_stride(Image.get())) *
               static_cast<std::size_t>(cairo_image_surface_get_height(Image.get())) +
           Rows.size() * sizeof(InkedColumns);
  }
  posix::LineImage Image;
  Color Ink;
  std::vector<InkedColumns> Rows;  // one for each of the image's rows
};

class RasterBackend : public platform::Backend, public platform::SimulatedTime {
 public:
  // A screen of that size, DPI and refresh rate (the film's frame rate), the text at its DPI;
  // scripts from scriptFolder, read in codePage; their music played on music.
  RasterBackend(const platform::ScreenMetrics& screen, std::string scriptFolder, unsigned codePage,
                platform::MusicDevice& music);

  // --- platform::Backend ---
  std::unique_ptr<platform::NativeWindow> CreateNativeWindow(platform::WindowEvents& events,
                                                             const platform::WindowStyle& style,
                                                             std::string_view caption) override;
  // A film has no pointer.
  std::optional<platform::PixelPoint> PointerPosition() override { return std::nullopt; }
  std::unique_ptr<platform::TimerDriver> CreateTimer(std::function<void()> onTick) override {
    return clock_.CreateTimer(std::move(onTick));
  }
  std::unique_ptr<platform::FrameDriver> CreateFrameDriver(
      std::function<void(const platform::DisplayFrame&)> onFrame) override {
    return clock_.CreateFrameDriver(std::move(onFrame));
  }
  platform::TextExtent MeasureText(const platform::FontSpec& font, std::string_view text) override;
  // The background needs no drawing: the image is laid over whatever lies beneath.
  platform::PhaseImages CreateTextImages(const platform::FontSpec& font, std::string_view text,
                                         platform::TextImageSpan span, platform::PhaseSet phases,
                                         Color color, Color background) override;
  platform::ScreenMetrics Screen() override { return screen_; }
  std::string ScriptFolder() override { return scriptFolder_; }
  std::vector<std::string> ListFiles(std::string_view directory, std::string_view pattern) override;
  platform::SettingsStore& Settings() override { return settings_; }
  platform::ScriptFileNames FileNames() override { return platform::ScriptFileNames::Posix; }
  unsigned ScriptCodePage() override { return codePage_; }
  platform::MusicDevice& Music() override { return music_; }
  // Nothing waits: a film takes no input.
  void RunWaitingEvents() override {}
  // A film ends by its own rule alone: a roll that ends its program stops the time and throws
  // std::runtime_error, so that the film fails.
  [[noreturn]] void End() override;

  // --- the film's time ---
  void AdvanceTo(std::int64_t nowUs) override { clock_.Advance(nowUs - clock_.NowUs()); }
  std::int64_t NowUs() const { return clock_.NowUs(); }

 private:
  platform::ScreenMetrics screen_;
  std::string scriptFolder_;
  unsigned codePage_;
  platform::MusicDevice& music_;
  platform::MemorySettings settings_;
  posix::PangoText text_;
  platform::VirtualClock clock_{*this};
  platform::WindowId nextId_ = 1;
};

}  // namespace velloway::raster
