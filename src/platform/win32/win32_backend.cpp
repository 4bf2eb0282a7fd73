#include <windows.h>

#include "platform/win32/win32_backend.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/codepage.h"
#include "platform/file_listing.h"
#include "platform/wide_text.h"
#include "platform/win32/debug_output.h"
#include "platform/win32/win32_frames.h"
#include "platform/win32/win32_screens.h"
#include "platform/win32/win32_window.h"

namespace velloway::win32 {
namespace {

constexpr wchar_t kAppClassName[] = L"VellowayApp";
constexpr wchar_t kFormClassName[] = L"VellowayForm";
// The program's status when it ends because no window of its could be made.
constexpr int kNoWindowStatus = 1;
// Posted to the hidden window when a form window is gone: the program ends if, once the current
// handler has finished, no window has taken its place.
constexpr UINT kCheckLastWindow = WM_APP + 1;

// In the namespace of the user's session (Local\ prefix): other users' starts do not meet it.
constexpr wchar_t kRunningCopyLockName[] = L"Local\\Velloway running-copy check";
// A start holds the lock for well under a second. One that holds it longer is stuck before its
// window opens, or will open it still: the start waiting for it gives up rather than hang.
constexpr DWORD kRunningCopyLockWaitMs = 10'000;

// The rectangles of the window's update region, in client pixels; empty when unknown.
std::vector<RECT> UpdateRectangles(HWND window) {
  const UniqueRegion region(CreateRectRgn(0, 0, 0, 0));
  if (!region || GetUpdateRgn(window, region.get(), FALSE) <= NULLREGION) return {};
  const DWORD bytes = GetRegionData(region.get(), 0, nullptr);
  if (bytes < sizeof(RGNDATAHEADER)) return {};
  // RGNDATA holds LONGs: a buffer of them keeps it aligned.
  std::vector<LONG> storage((bytes + sizeof(LONG) - 1) / sizeof(LONG));
  auto* data = reinterpret_cast<RGNDATA*>(storage.data());
  if (GetRegionData(region.get(), bytes, data) == 0) return {};
  const auto* rects = reinterpret_cast<const RECT*>(data->Buffer);
  return std::vector<RECT>(rects, rects + data->rdh.nCount);
}

class MutexLock final : public platform::RunningCopyLock {
 public:
  explicit MutexLock(UniqueHandle mutex) : mutex_(std::move(mutex)) {}
  ~MutexLock() override { ReleaseMutex(mutex_.get()); }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

 private:
  UniqueHandle mutex_;
};

}  // namespace

Win32Backend::Win32Backend(HINSTANCE instance) : Win32Backend(instance, systemCalls_) {}

Win32Backend::Win32Backend(HINSTANCE instance, SystemCalls& calls)
    : instance_(instance),
      shcore_(LoadLibraryW(L"shcore.dll")),
      fonts_(PrimaryDpi(shcore_.get()).second),
      calls_(calls),
      music_(calls),
      appClass_(instance_, kAppClassName, &Win32Backend::AppWindowProc, nullptr),
      formClass_(instance_, kFormClassName, &Win32Window::WindowProc,
                 LoadCursorW(nullptr, IDC_ARROW), LoadIconW(instance_, L"VELLOWAY")) {
  // A hidden top-level window rather than a message-only one: it can own forms. Where no window
  // can be made (no display), the backend still measures, paints offscreen and stores settings.
  if (CreateWindowExW(0, appClass_.Name(), L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance_,
                      this) == nullptr) {
    ReportFailure(L"the program's hidden window cannot be made", GetLastError());
  }
}

Win32Backend::~Win32Backend() = default;

std::unique_ptr<platform::NativeWindow> Win32Backend::CreateNativeWindow(
    platform::WindowEvents& events, const platform::WindowStyle& style, std::string_view caption) {
  std::unique_ptr<Win32Window> window = Win32Window::Make(*this, events, style, caption);
  if (!window) windowRefused_ = true;
  return window;
}

std::unique_ptr<platform::FrameDriver> Win32Backend::CreateFrameDriver(
    std::function<void(const platform::DisplayFrame&)> onFrame) {
  return std::make_unique<Win32FrameDriver>(*this, std::move(onFrame));
}

platform::TextExtent Win32Backend::MeasureText(const platform::FontSpec& font,
                                               std::string_view text) {
  return fonts_.Measure(font, text);
}

platform::PhaseImages Win32Backend::CreateTextImages(const platform::FontSpec& font,
                                                     std::string_view text,
                                                     platform::TextImageSpan span,
                                                     platform::PhaseSet phases, Color color,
                                                     Color background) {
  GdiPhaseImages drawn =
      GdiTextImage::DrawPhases(fonts_, font, text, span, phases, color, background);
  platform::PhaseImages images;
  std::move(drawn.begin(), drawn.end(), images.begin());
  return images;
}

std::string Win32Backend::ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD size = static_cast<DWORD>(path.size());
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), size);
    if (length == 0) return {};
    if (length < size) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);  // truncated: try a larger buffer
  }
  const std::size_t separator = path.find_last_of(L"\\/");
  path.resize(separator == std::wstring::npos ? 0 : separator);
  return platform::WideToUtf8(path);
}

std::vector<std::string> Win32Backend::ListFiles(std::string_view directory,
                                                 std::string_view pattern) {
  return platform::ListFiles(directory, pattern);
}

unsigned Win32Backend::ScriptCodePage() {
  return platform::SystemCodePage();
}

std::optional<platform::PixelPoint> Win32Backend::PointerPosition() {
  POINT point{};
  if (!calls_.GetCursorPos(point)) return std::nullopt;
  return platform::PixelPoint{point.x, point.y};
}

bool Win32Backend::HostExists(platform::WindowId host) {
  const HWND window = reinterpret_cast<HWND>(host);
  return calls_.IsWindow(window) && window != GetDesktopWindow();
}

void Win32Backend::ActivateOwnerOf(platform::WindowId host) {
  calls_.SetActiveWindow(calls_.GetWindow(reinterpret_cast<HWND>(host), GW_OWNER));
}

bool Win32Backend::FindRunningCopy(std::span<const std::string_view> captions) {
  bool found = false;
  for (const std::string_view caption : captions) {
    found = calls_.FindWindowA(caption) != nullptr || found;
  }
  return found;
}

std::unique_ptr<platform::RunningCopyLock> Win32Backend::ClaimRunningCopyLock() {
  UniqueHandle mutex(CreateMutexW(nullptr, FALSE, kRunningCopyLockName));
  if (!mutex) return nullptr;
  const DWORD waited = WaitForSingleObject(mutex.get(), kRunningCopyLockWaitMs);
  // An abandoned mutex is ours: the start that held it ended without letting it go.
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) return nullptr;
  return std::make_unique<MutexLock>(std::move(mutex));
}

bool Win32Backend::HandleDialogKeys(MSG& message) {
  const HWND root = GetAncestor(message.hwnd, GA_ROOT);
  return root != nullptr && dialogWindows_.contains(root) && IsDialogMessageW(root, &message);
}

void Win32Backend::RunWaitingEvents() {
  // A timer whose handler outlasts its interval is due again at once: a second tick of the same
  // timer (the same window and id) waits for the next call, so RunWaitingEvents always returns.
  std::vector<std::pair<HWND, UINT_PTR>> ticked;
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
    if (message.message == WM_TIMER &&
        std::find(ticked.begin(), ticked.end(), std::pair(message.hwnd, message.wParam)) !=
            ticked.end()) {
      return;
    }
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return;
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));  // for the message loop to see
      return;
    }
    if (message.message == WM_TIMER) ticked.emplace_back(message.hwnd, message.wParam);
    if (HandleDialogKeys(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void Win32Backend::End() {
  ExitProcess(0);
}

int Win32Backend::RunMessageLoop() {
  if (openWindows_ == 0) return windowRefused_ ? kNoWindowStatus : 0;
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
      if (HandleDialogKeys(message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    WaitForMessageOrFrame();
  }
}

void Win32Backend::WaitForMessageOrFrame() {
  std::array<HANDLE, MAXIMUM_WAIT_OBJECTS - 1> due{};
  std::array<Win32FrameDriver*, MAXIMUM_WAIT_OBJECTS - 1> drivers{};
  DWORD count = 0;
  for (Win32FrameDriver* driver : frameDrivers_) {
    const HANDLE signal = driver->Due();
    if (signal == nullptr || count == due.size()) continue;
    due[count] = signal;
    drivers[count] = driver;
    ++count;
  }
  const DWORD woken =
      MsgWaitForMultipleObjectsEx(count, due.data(), INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  if (woken >= WAIT_OBJECT_0 + count) return;  // a message, or nothing to wait on
  Win32FrameDriver* driver = drivers[woken - WAIT_OBJECT_0];
  // Still there: a frame driver that went meanwhile has no frame to run.
  if (std::find(frameDrivers_.begin(), frameDrivers_.end(), driver) != frameDrivers_.end()) {
    driver->Frame();
  }
}

bool Win32Backend::VerticalBlankWaits(int refreshHz) {
  if (!verticalBlankWaits_) verticalBlankWaits_ = win32::VerticalBlankWaits(refreshHz);
  return *verticalBlankWaits_;
}

LRESULT CALLBACK Win32Backend::AppWindowProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self =
        static_cast<Win32Backend*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(window, kObjectSlot, reinterpret_cast<LONG_PTR>(self));
    self->appWindow_.reset(window);
  }
  auto* self = reinterpret_cast<Win32Backend*>(GetWindowLongPtrW(window, kObjectSlot));
  if (self != nullptr) {
    switch (message) {
      case WM_TIMER:
        self->OnTimer(wParam);
        return 0;
      case kCheckLastWindow:
        if (self->openWindows_ == 0) PostQuitMessage(0);
        return 0;
      case WM_DISPLAYCHANGE:
      case WM_DPICHANGED:
      case WM_SETTINGCHANGE:
        self->ForgetScreen();
        break;
      case WM_DESTROY:
        SetWindowLongPtrW(window, kObjectSlot, 0);
        self->appWindow_.release();
        return 0;
      default:
        break;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HCURSOR Win32Backend::BlankCursor() {
  if (!blankCursor_) {
    // AND mask all ones keeps the screen, XOR mask all zeros changes nothing: no visible pixel.
    constexpr int kSize = 32;
    constexpr std::size_t kMaskBytes = kSize * kSize / 8;
    const std::vector<BYTE> andMask(kMaskBytes, 0xFF);
    const std::vector<BYTE> xorMask(kMaskBytes, 0x00);
    blankCursor_.reset(CreateCursor(instance_, 0, 0, kSize, kSize, andMask.data(), xorMask.data()));
  }
  return blankCursor_.get();
}

void Win32Backend::WindowClosed() {
  --openWindows_;
  if (openWindows_ > 0) return;
  if (const HWND window = appWindow_.get()) {
    PostMessageW(window, kCheckLastWindow, 0, 0);
  } else {
    PostQuitMessage(0);
  }
}

void Win32Backend::PaintWindow(HWND window, platform::WindowEvents& events) {
  std::vector<RECT> rectangles = UpdateRectangles(window);
  const PaintScope paint(window);
  if (paint.Dc() == nullptr) return;
  if (rectangles.empty()) rectangles.push_back(paint.Area());
  const PaintRoutine routine = [&events](platform::Canvas& canvas,
                                         const platform::PixelRect& area) {
    events.OnPaint(canvas, area);
  };
  for (const RECT& r : rectangles) {
    PaintThrough(backBuffer_, paint.Dc(), {r.left, r.top, r.right, r.bottom}, routine);
  }
}
}  // namespace velloway::win32
