// What one roll tick costs on a 3840x2160 saver beside a repaint of the whole window, measured
// alternately in one run. The saver is SaverWindow itself on the real Win32 backend and window: a
// script of 20 lines rolls until all of them are on screen, then each sample is one tick (the
// engine moves every line 5 px and invalidates what moved; WM_PAINT paints those rectangles
// through the back buffer onto the window) and one full repaint (the whole client area
// invalidated and painted the same way). Under Wine the painted pixels go to the X server when the
// thread next finds its queue empty, and the server copies them in its own time: the "X server"
// column runs the queue dry, then reads a screen pixel, a round trip that waits for that copy.
//
// Usage: repaint_bench [--rounds N]. Run it on a 3840x2160 display; it plays a script of its own.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/win32/win32_backend.h"
#include "platform/win32/win32_handles.h"
#include "roll/saver_window.h"
#include "script/script_loader.h"

namespace {

using velloway::SaverWindow;
using velloway::platform::PixelRect;

constexpr int kLines = 20;
constexpr int kMaxSamplesPerRound = 400;

double NowMs() {
  static const double countsPerMs = [] {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart) / 1000.0;
  }();
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / countsPerMs;
}

// Twenty credits, a role in small type over a name in large type, centred at speed 3. The last
// line's spacing keeps the roll moving long after every line is on screen.
std::string ScriptText() {
  static constexpr const char* kCredits[][2] = {
      {"Directed by", "Avery Quinlan"},
      {"Written by", "Morgan Ellery Castellano"},
      {"Director of Photography", "Sasha Okonkwo-Lindqvist"},
      {"Edited by", "Robin Takahashi"},
      {"Music by", "Jules Marchetti and the Evening Strings"},
      {"Production Design", "Kit Brannagh"},
      {"Costume Design", "Noor Haddad"},
      {"Visual Effects Supervisor", "Elliot Vance-Moreau"},
      {"Sound Design", "Priya Raman"},
      {"Produced by", "Dana Whitcombe"},
  };
  std::string text = "HEADER\t24\t3\tMID\t101828\r\n";
  for (std::size_t i = 0; i < std::size(kCredits); ++i) {
    const bool last = i + 1 == std::size(kCredits);
    text += std::string("TEXT\tArial\t-2\t") + kCredits[i][0] + "\tA0A0FF\t1\r\n";
    text += std::string("TEXT\tTimes New Roman\t2\t") + kCredits[i][1] + "\tFFFFFF\t" +
            (last ? "60" : "2") + "\r\n";
  }
  return text;
}

// Where a timer's WM_TIMER goes: sending one there runs a tick as the message loop would.
struct TimerAddress {
  HWND window = nullptr;
  UINT_PTR id = 0;
};

// Runs what is queued. Finding the queue empty is also when Wine hands the painted pixels to X.
void RunPending() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) continue;  // the last saver window of a round is gone
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// Hands the painted pixels to the X server and waits until it has them: reading a pixel of the
// screen goes through the same connection, after the image just sent.
void DeliverToScreen(HDC screen) {
  RunPending();
  GetPixel(screen, 0, 0);
}

// Runs the message loop until the saver's timer ticks for the first time, and says where it ticks.
std::optional<TimerAddress> WaitForFirstTick() {
  const double end = NowMs() + 5000;
  while (NowMs() < end) {
    MSG message;
    if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
      if (message.message == WM_TIMER) return TimerAddress{message.hwnd, message.wParam};
    } else {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
  }
  return std::nullopt;
}

// The pixels and rectangles of the window's update region.
std::pair<long long, int> UpdateArea(HWND window) {
  const velloway::win32::UniqueRegion region(CreateRectRgn(0, 0, 0, 0));
  if (!region || GetUpdateRgn(window, region.get(), FALSE) <= NULLREGION) return {0, 0};
  const DWORD bytes = GetRegionData(region.get(), 0, nullptr);
  std::vector<LONG> storage((bytes + sizeof(LONG) - 1) / sizeof(LONG));
  auto* data = reinterpret_cast<RGNDATA*>(storage.data());
  if (bytes < sizeof(RGNDATAHEADER) || GetRegionData(region.get(), bytes, data) == 0) return {0, 0};
  const auto* rects = reinterpret_cast<const RECT*>(data->Buffer);
  long long pixels = 0;
  for (DWORD i = 0; i < data->rdh.nCount; ++i) {
    pixels +=
        static_cast<long long>(rects[i].right - rects[i].left) * (rects[i].bottom - rects[i].top);
  }
  return {pixels, static_cast<int>(data->rdh.nCount)};
}

// The lines wholly inside the window.
int LinesOnScreen(const SaverWindow& saver, int height) {
  int count = 0;
  for (int i = 1; i <= kLines; ++i) {
    const velloway::forms::Label& line = saver.LineLabel(i);
    const PixelRect bounds = line.PixelBounds();
    if (line.Visible() && bounds.Top >= 0 && bounds.Bottom <= height) ++count;
  }
  return count;
}

struct Samples {
  std::vector<double> engine, tickPaint, tickFlush, fullPaint, fullFlush;
  long long pixels = 0;
  long long rectangles = 0;
  int width = 0;
  int height = 0;
};

// One saver from its start until its first line would leave the screen; false when it cannot
// run.
bool RunRound(velloway::win32::Win32Backend& backend, Samples& samples) {
  const velloway::win32::ScreenDc screen;
  SaverWindow saver(backend, velloway::ParseScript(ScriptText()));
  saver.Show();
  const auto window = reinterpret_cast<HWND>(saver.Id());
  const std::optional<TimerAddress> timer = WaitForFirstTick();
  if (window == nullptr || !timer) {
    std::fprintf(stderr, "repaint_bench: the saver window or its timer did not come up\n");
    return false;
  }
  RECT client{};
  GetClientRect(window, &client);
  samples.width = client.right;
  samples.height = client.bottom;
  const auto tick = [&] { SendMessageW(timer->window, WM_TIMER, timer->id, 0); };
  // The tick sets the system timer for the next one; without this, a tick slower than the
  // interval would let real ticks in while the queue is run, and the samples would mix them.
  const auto holdTimer = [&] { KillTimer(timer->window, timer->id); };
  for (int i = 0; i < 20000 && LinesOnScreen(saver, client.bottom) < kLines; ++i) {
    tick();
    holdTimer();
    UpdateWindow(window);
    DeliverToScreen(screen.Get());
  }
  if (LinesOnScreen(saver, client.bottom) < kLines) {
    std::fprintf(stderr, "repaint_bench: the %d lines never were on screen together\n", kLines);
    return false;
  }
  for (int i = 0; i < kMaxSamplesPerRound && LinesOnScreen(saver, client.bottom) == kLines; ++i) {
    const double t0 = NowMs();
    tick();
    const double t1 = NowMs();
    holdTimer();
    const auto [pixels, rectangles] = UpdateArea(window);  // not timed
    samples.pixels += pixels;
    samples.rectangles += rectangles;
    const double t2 = NowMs();
    UpdateWindow(window);
    const double t3 = NowMs();
    DeliverToScreen(screen.Get());
    const double t4 = NowMs();
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    const double t5 = NowMs();
    DeliverToScreen(screen.Get());
    const double t6 = NowMs();
    samples.engine.push_back(t1 - t0);
    samples.tickPaint.push_back(t3 - t2);
    samples.tickFlush.push_back(t4 - t3);
    samples.fullPaint.push_back(t5 - t4);
    samples.fullFlush.push_back(t6 - t5);
  }
  return true;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

std::vector<double> Sum(const std::vector<double>& a, const std::vector<double>& b) {
  std::vector<double> sum(a.size());
  for (std::size_t i = 0; i < a.size(); ++i) sum[i] = a[i] + b[i];
  return sum;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 2;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string_view(argv[i]) == "--rounds") rounds = std::max(1, std::atoi(argv[i + 1]));
  }
  velloway::win32::Win32Backend backend;

  Samples samples;
  for (int round = 0; round < rounds; ++round) {
    if (!RunRound(backend, samples)) return 1;
    RunPending();
  }
  const std::size_t count = samples.engine.size();
  if (count == 0) return 1;

  const double engine = Median(samples.engine);
  const double tickPaint = Median(samples.tickPaint);
  const double tickFlush = Median(samples.tickFlush);
  const double tickTotal = Median(Sum(Sum(samples.engine, samples.tickPaint), samples.tickFlush));
  const double tickInProcess = Median(Sum(samples.engine, samples.tickPaint));
  const double fullPaint = Median(samples.fullPaint);
  const double fullFlush = Median(samples.fullFlush);
  const double fullTotal = Median(Sum(samples.fullPaint, samples.fullFlush));
  const double windowPixels = static_cast<double>(samples.width) * samples.height;
  const double tickPixels = static_cast<double>(samples.pixels) / static_cast<double>(count);

  std::printf("Repaint: a %dx%d saver, %d lines on screen moving 5 px a tick\n", samples.width,
              samples.height, kLines);
  std::printf("(%zu ticks and %zu full repaints alternately, %d round(s); medians in ms)\n\n",
              count, count, rounds);
  std::printf("%-22s %9s %9s %11s %9s\n", "", "engine", "WM_PAINT", "X server", "total");
  std::printf("%-22s %9.3f %9.3f %11.3f %9.3f\n", "roll tick", engine, tickPaint, tickFlush,
              tickTotal);
  std::printf("%-22s %9s %9.3f %11.3f %9.3f\n", "full-window repaint", "-", fullPaint, fullFlush,
              fullTotal);
  std::printf("%-22s %9s %9.3f %11.3f %9.3f\n\n", "ratio tick / full", "", tickPaint / fullPaint,
              tickFlush / fullFlush, tickTotal / fullTotal);
  std::printf("in-process ratio (engine + WM_PAINT) / full WM_PAINT: %.3f\n",
              tickInProcess / fullPaint);
  std::printf("pixels repainted per tick: %.0f in %.1f rectangles (%.2f%% of the window)\n",
              tickPixels, static_cast<double>(samples.rectangles) / static_cast<double>(count),
              100.0 * tickPixels / windowPixels);
  return 0;
}
