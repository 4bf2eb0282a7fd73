#pragma once
// What a forms-toolkit backend provides: native windows, timers, text metrics, the screen, the
// settings store, the pointer, the music device, the other windows of the system as far as the
// program cares about them, event processing and the program's end. It speaks of what the
// windows mean to do, never in a platform's words. Three backends implement it side by side:
// win32 (real windows, GDI, the media system), x11 (Xlib, Xft, SDL_mixer) and headless (in
// memory).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/color.h"

namespace velloway::forms {

// A window of the system, this program's or another's, as an opaque number: a preview host is
// named by it on the command line.
using WindowId = std::intptr_t;

// A position on the screen, in pixels of the virtual screen.
struct PixelPoint {
  std::int32_t X = 0;
  std::int32_t Y = 0;
  bool operator==(const PixelPoint&) const = default;
};

struct PixelRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;

  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  bool Contains(int x, int y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
  PixelRect Intersect(const PixelRect& other) const;
  // The smallest rectangle holding both; an empty rectangle adds nothing.
  PixelRect Union(const PixelRect& other) const;
  bool operator==(const PixelRect&) const = default;
};

inline constexpr int kAnsiCharset = 0;
inline constexpr int kDefaultCharset = 1;
inline constexpr int kShiftJisCharset = 128;

struct FontSpec {
  std::string Name;
  float Size = 8.25f;  // points
  bool Bold = false;
  bool Italic = false;
  int Charset = kDefaultCharset;
  bool operator==(const FontSpec&) const = default;
};

// For the backends' font caches.
struct FontSpecHash {
  std::size_t operator()(const FontSpec& font) const;
};

// A rendered single line of text, in pixels.
struct TextExtent {
  int Width = 0;
  int Height = 0;
};

// A monitor beside the primary one: where it lies and its own DPI.
struct MonitorArea {
  PixelRect Bounds;  // in virtual-screen pixels
  int DpiX = 96;
  int DpiY = 96;
  bool operator==(const MonitorArea&) const = default;
};

struct ScreenMetrics {
  int WidthPx = 1920;  // the primary monitor
  int HeightPx = 1080;
  int DpiX = 96;
  int DpiY = 96;
  std::vector<MonitorArea> OtherMonitors;
  int RefreshHz = 60;  // the primary monitor's frames per second; 60 where the system does not say
};

// One line of text drawn once, in its font and colour over a background colour, kept to be
// painted again wherever it is shown: moving a line costs no text layout.
class TextImage {
 public:
  virtual ~TextImage() = default;
};

// Which part of a line's text a TextImage holds: the text's pixel columns from Skip on, Width
// of them (a line may be far wider than the screen), and all of its height.
struct TextImageSpan {
  int Skip = 0;
  int Width = 0;
  bool operator==(const TextImageSpan&) const = default;
};

// What a paint routine draws on. Drawing is clipped to the area being painted.
class Canvas {
 public:
  virtual ~Canvas() = default;
  virtual void FillRect(const PixelRect& rect, Color color) = 0;
  // Draws one line of antialiased text with a transparent background; (x, y) is its top-left.
  virtual void DrawText(const FontSpec& font, std::string_view text, int x, int y, Color color) = 0;
  // Draws an image of this backend's making with its top-left at (x, y); the pixels of its
  // background colour let what lies beneath show, so that lines that overlap both show.
  virtual void DrawImage(const TextImage& image, int x, int y) = 0;
};

enum class MouseButton { Left, Right, Middle, X1, X2 };
inline constexpr std::size_t kMouseButtonCount = 5;

// What a native window delivers to the form that owns it.
class WindowEvents {
 public:
  virtual ~WindowEvents() = default;
  virtual void OnPaint(Canvas& canvas, const PixelRect& area) = 0;
  // A mouse button went down or up over the window, at client pixels (x, y).
  virtual void OnPointerButtonDown(MouseButton button, int x, int y) = 0;
  virtual void OnPointerButtonUp(MouseButton button, int x, int y) = 0;
  // A key went down while the window had the keyboard: any key, whether it types or not (Shift,
  // the function keys, the arrows, media keys).
  virtual void OnKeyDown() = 0;
  // A window of another program took the activation from this program.
  virtual void OnActivatedElsewhere() = 0;
  // The window was minimised (a borderless one by a request it could not refuse).
  virtual void OnMinimizedBySystem() = 0;
  // The screens changed (their size, number or layout): the backend's Screen() tells the new.
  virtual void OnDisplayChanged() = 0;
  // The system destroyed the window (for instance with its parent); the form is unloaded.
  virtual void OnDestroyedBySystem() = 0;
};

// A window with a fixed border has a minimise box. A borderless window cannot be minimised:
// the backend refuses the requests to minimise it; one the system carries out all the same is
// reported (OnMinimizedBySystem).
enum class BorderStyle { None = 0, FixedSingle = 1 };

// What a native child control delivers to the object that owns it.
class ControlEvents {
 public:
  virtual ~ControlEvents() = default;
  virtual void OnControlClick() {}
};

// A drop-down list opens as wide as its longest entry needs, at least as wide as its closed field
// and at most as wide as the screen; a check box turns on and off as the user clicks it or presses
// Space on it; a picture is scaled to fill its control.
enum class ControlKind { DropDownList, PushButton, CheckBox, Picture };

// A child control as the platform makes it. Controls take the keyboard focus in the order they
// are made; the first one has it when its window is shown.
struct ControlProperties {
  ControlKind Kind = ControlKind::PushButton;
  PixelRect Bounds;     // in the parent's client pixels
  std::string Caption;  // a button's or a check box's text; "&" marks its access key
  FontSpec Font;
  Color ForeColor = 0;
  Color BackColor = 0xFFFFFF;
  bool IsDefault = false;  // Enter presses it
  bool IsCancel = false;   // Escape presses it
  std::string Picture;     // a picture's resource name
};

class NativeControl {
 public:
  virtual ~NativeControl() = default;
  // Places the control at `bounds`, in the parent's client pixels.
  virtual void SetBounds(const PixelRect& bounds) = 0;
  virtual void AddItem(std::string_view text) = 0;
  // -1 selects nothing.
  virtual void SetSelectedIndex(int index) = 0;
  // The list's selection as the control holds it now, however it changed (the user, the
  // keyboard or another program): its index, -1 when nothing is selected, and its text.
  virtual int SelectedIndex() const = 0;
  virtual std::string SelectedText() const = 0;
  virtual void SetChecked(bool checked) = 0;
  // A check box's state as the control holds it now, however it changed.
  virtual bool IsChecked() const = 0;
};

struct WindowStyle {
  BorderStyle Border = BorderStyle::FixedSingle;
  bool ShowInTaskbar = true;
  bool InvisiblePointer = false;
};

// A top-level window; destroying the object destroys the window. When the last window of the
// program is gone, the program ends.
class NativeWindow {
 public:
  virtual ~NativeWindow() = default;
  virtual WindowId Id() const = 0;
  virtual void SetCaption(std::string_view caption) = 0;
  // Places the window so that its client area covers `client`, in screen pixels.
  virtual void SetBounds(const PixelRect& client) = 0;
  // Puts the window above all other windows, where it stays, without moving, sizing or
  // activating it.
  virtual void KeepAboveOthers() = 0;
  // Makes the window a child of host that covers host's client area, the whole window from its
  // corner; returns the window's client area then ({0, 0, width, height}).
  virtual PixelRect EmbedIn(WindowId host) = 0;
  // The whole window, frame included, around a client area at `client`.
  virtual PixelRect OuterBounds(const PixelRect& client) const = 0;
  virtual void Show() = 0;
  // Marks part of the client area for repainting.
  virtual void Invalidate(const PixelRect& area) = 0;
  // Null when the control cannot be made: the form goes on without it.
  virtual std::unique_ptr<NativeControl> CreateControl(const ControlProperties& properties,
                                                       ControlEvents& events) = 0;
};

class TimerDriver {
 public:
  virtual ~TimerDriver() = default;
  // Ticks every intervalMs milliseconds from now; 0 stops the ticks.
  virtual void Run(std::int32_t intervalMs) = 0;
};

// Raises onFrame at each frame of the display while started, with the frame's time in
// microseconds on a clock that only goes forward. A frame runs from the event loop, never inside
// another handler, and never delays or reorders the timers' ticks.
class FrameDriver {
 public:
  virtual ~FrameDriver() = default;
  virtual void Start() = 0;
  virtual void Stop() = 0;
};

// The per-user settings store: text values by application, section and key.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  virtual std::optional<std::string> Read(std::string_view app, std::string_view section,
                                          std::string_view key) = 0;
  // Returns false when the value could not be written.
  virtual bool Write(std::string_view app, std::string_view section, std::string_view key,
                     std::string_view value) = 0;
};

// Held by one start of the program at a time in the user's session; released when it goes.
class RunningCopyLock {
 public:
  virtual ~RunningCopyLock() = default;
};

// The one music device of the program: a file opened, played once, stopped and closed. It takes
// no decisions: each step reports whether it worked.
class MusicDevice {
 public:
  virtual ~MusicDevice() = default;
  // Opens the file at path (UTF-8); false when it cannot be opened, is no regular file (a device
  // or a pipe counts as missing: see platform::CheckedFile), or a file is open already.
  virtual bool Open(std::string_view path) = 0;
  // Plays the open file once, from its start; false when it cannot be played.
  virtual bool Play() = 0;
  // Whether the open file is playing now; false when the device cannot tell.
  virtual bool IsPlaying() = 0;
  virtual void Stop() = 0;
  virtual void Close() = 0;
};

// How the file names a script holds (music names, written on Windows) are read on a platform:
// see music/music_path.h.
enum class ScriptFileNames { Windows, Posix };

class Backend {
 public:
  virtual ~Backend() = default;
  // Null when the window cannot be made: its form stays unloaded.
  virtual std::unique_ptr<NativeWindow> CreateNativeWindow(WindowEvents& events,
                                                           const WindowStyle& style,
                                                           std::string_view caption) = 0;
  virtual std::unique_ptr<TimerDriver> CreateTimer(std::function<void()> onTick) = 0;
  // Frames at the primary monitor's refresh rate (Screen().RefreshHz).
  virtual std::unique_ptr<FrameDriver> CreateFrameDriver(
      std::function<void(std::int64_t nowUs)> onFrame) = 0;
  virtual TextExtent MeasureText(const FontSpec& font, std::string_view text) = 0;
  // Draws the span of one line of text in color over background, once; Canvas::DrawImage paints
  // it. Null when the image cannot be made.
  virtual std::unique_ptr<TextImage> CreateTextImage(const FontSpec& font, std::string_view text,
                                                     TextImageSpan span, Color color,
                                                     Color background) = 0;
  virtual ScreenMetrics Screen() = 0;
  // The program's directory, without a trailing separator.
  virtual std::string AppPath() = 0;
  // The names of the normal files (no folders, hidden or system files) in `directory` whose names
  // match `pattern` ("*.vws"), in the platform's listing order.
  virtual std::vector<std::string> ListFiles(std::string_view directory,
                                             std::string_view pattern) = 0;
  virtual SettingsStore& Settings() = 0;
  virtual MusicDevice& Music() = 0;
  // How this platform reads the file names a script holds.
  virtual ScriptFileNames FileNames() = 0;
  // The legacy code page a script without a byte-order mark or UTF-8 text is read in, as the
  // system or the user decides it (932 for Shift-JIS, 1252 for Western European).
  virtual unsigned ScriptCodePage() = 0;
  // Where the pointer is; nothing when it cannot be read.
  virtual std::optional<PixelPoint> PointerPosition() = 0;
  // Whether host is a window that exists and can host a preview: the desktop, the window behind
  // all others, cannot.
  virtual bool HostExists(WindowId host) = 0;
  // Hands the activation to the window that owns host.
  virtual void ActivateOwnerOf(WindowId host) = 0;
  // Whether a window with one of these captions is open, this program's or another copy's. Every
  // caption is looked for, whichever is found.
  virtual bool FindRunningCopy(std::span<const std::string_view> captions) = 0;
  // Claims the lock that makes a start's look for a running copy and the opening of its window
  // one step: while another start holds it, waits for it. Null when it could not be had in time.
  virtual std::unique_ptr<RunningCopyLock> ClaimRunningCopyLock() = 0;
  // Runs the events that are waiting, then returns.
  virtual void DoEvents() = 0;
  // Ends the program at once: no further event handler runs.
  [[noreturn]] virtual void End() = 0;
};

}  // namespace velloway::forms
