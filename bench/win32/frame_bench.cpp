// What smooth motion's frames cost against the classic roll's ticks, on the real backend,
// window and message loop. The saver plays the script chosen in the registry, with smooth motion
// on or off, for some seconds; every frame (or, classic, every tick) is timed from when the loop
// runs it until its paint is done: the handler, then the WM_PAINT it asked for, painted at once.
// Before each frame, a strip of the window at its centre is copied out (BitBlt into a DIB) to
// count the frames that showed something new.
// Prints the frames per second, the distinct frames per second, the intervals between frames and
// the work of each.
//
// Usage: frame_bench smooth|classic [--seconds N]. Run it on the display to be measured.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "frame_timing.h"
#include "platform/win32/win32_backend.h"
#include "platform/win32/win32_handles.h"
#include "roll/saver_window.h"

namespace {

using velloway::win32::SelectGuard;
using velloway::win32::UniqueBitmap;
using velloway::win32::UniqueDc;

// Copies the strip at the window's horizontal centre, full height, into a DIB of its own.
class StripReader {
 public:
  StripReader(HWND window, int width, int height)
      : window_(window), left_((width - velloway::bench::kStripWidth) / 2), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = velloway::bench::kStripWidth;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    memory_.reset(CreateCompatibleDC(nullptr));
    bitmap_.reset(CreateDIBSection(memory_.get(), &info, DIB_RGB_COLORS, &bits_, nullptr, 0));
    selected_ = SelectGuard(memory_.get(), bitmap_.get());
  }

  std::vector<std::uint8_t> Read() const {
    const HDC window = GetDC(window_);
    BitBlt(memory_.get(), 0, 0, velloway::bench::kStripWidth, height_, window, left_, 0, SRCCOPY);
    ReleaseDC(window_, window);
    GdiFlush();
    const auto* bytes = static_cast<const std::uint8_t*>(bits_);
    return {bytes, bytes + std::size_t{4} * velloway::bench::kStripWidth * height_};
  }

 private:
  HWND window_;
  int left_;
  int height_;
  UniqueDc memory_;
  UniqueBitmap bitmap_;
  void* bits_ = nullptr;
  SelectGuard selected_;
};

}  // namespace

int main(int argc, char** argv) {
  const auto arguments = velloway::bench::ParseArguments(argc, argv);
  if (!arguments) {
    std::fprintf(stderr, "usage: frame_bench smooth|classic [--seconds N]\n");
    return 2;
  }
  velloway::bench::FrameTimings timings(1000.0 * arguments->seconds);
  velloway::win32::Win32Backend windows;
  velloway::bench::TimedBackend backend(windows, timings, !arguments->smooth);
  const velloway::forms::Application app(backend, backend.Settings());
  velloway::SaverWindow saver(backend, velloway::ReadChosenScript(app, backend),
                              {arguments->smooth, false});
  saver.Show();
  const auto window = reinterpret_cast<HWND>(saver.Id());
  const auto screen = windows.Screen();
  const StripReader strip(window, screen.WidthPx, screen.HeightPx);
  timings.SetSteps({[window] { UpdateWindow(window); }, [&strip] { return strip.Read(); },
                    [] { PostQuitMessage(0); }});
  windows.RunMessageLoop();

  if (!timings.Print(arguments->smooth ? "smooth" : "classic", screen)) {
    std::fprintf(stderr, "frame_bench: no frames\n");
    return 1;
  }
  return 0;
}
