// What smooth motion's frames cost against the classic roll's ticks on the Linux program's X11
// backend, its full-screen window and its event loop. The roll plays the script given, with
// smooth motion on or off, for some seconds; every frame (or, classic, every tick) is timed from
// when the loop runs it until its paint is sent to the X server: the handler, then the window's
// painting and the flush the loop would do next. Before each frame, a strip of the window at
// its centre is read back (XGetImage, after the paints sent before it) to count the frames
// that showed something new.
// Prints the frames per second, the distinct frames per second, the intervals between frames and
// the work of each.
//
// Usage: frame_bench smooth|classic --script FILE [--seconds N]. Run it on the display to be
// measured (DISPLAY).
#include "platform/x11/x11_backend.h"

#include <X11/Xutil.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <vector>

#include "frame_timing.h"
#include "platform/codepage.h"
#include "roll/saver_window.h"
#include "script/script_loader.h"

namespace {

struct ImageDestroyer {
  void operator()(XImage* image) const { XDestroyImage(image); }
};

// Reads the strip at the window's horizontal centre, full height, on the backend's own
// connection: the X server answers it after every paint sent before it.
class StripReader {
 public:
  StripReader(Display* display, ::Window window, int width, int height)
      : display_(display),
        window_(window),
        left_((width - velloway::bench::kStripWidth) / 2),
        height_(height) {}

  // Nothing while the window cannot be read (not yet mapped).
  std::vector<std::uint8_t> Read() const {
    const std::unique_ptr<XImage, ImageDestroyer> image(
        XGetImage(display_, window_, left_, 0, velloway::bench::kStripWidth,
                  static_cast<unsigned>(height_), AllPlanes, ZPixmap));
    if (!image) return {};
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(image->data);
    return {bytes, bytes + static_cast<std::size_t>(image->bytes_per_line) * image->height};
  }

 private:
  Display* display_;
  ::Window window_;
  int left_;
  int height_;
};

}  // namespace

int main(int argc, char** argv) {
  using namespace velloway;
  const auto arguments = bench::ParseArguments(argc, argv);
  const char* script = bench::OptionValue(argc, argv, "--script");
  if (!arguments || script == nullptr) {
    std::fprintf(stderr, "usage: frame_bench smooth|classic --script FILE [--seconds N]\n");
    return 2;
  }
  try {
    bench::FrameTimings timings(1000.0 * arguments->seconds);
    LoadedScript loaded = LoadScriptFile(script, platform::kDefaultCodePage);
    x11::X11Backend x11({});
    bench::TimedBackend backend(x11, timings, !arguments->smooth);
    SaverWindow saver(backend, std::move(loaded), {arguments->smooth, false});
    saver.Load();
    saver.Show();
    const auto screen = x11.Screen();
    const StripReader strip(x11.Dpy(), static_cast<::Window>(saver.Id()), screen.WidthPx,
                            screen.HeightPx);
    const char* mode = arguments->smooth ? "smooth" : "classic";
    timings.SetSteps({[&x11] { x11.RunWaitingEvents(); }, [&strip] { return strip.Read(); },
                      [&] {
                        timings.Print(mode, screen);
                        x11.End();
                      }});
    x11.RunEventLoop();
    std::fprintf(stderr, "frame_bench: the window closed before the end\n");
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "frame_bench: %s\n", e.what());
    return 1;
  }
}
