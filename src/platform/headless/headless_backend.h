#pragma once
// The headless backend: windows, timers, text and settings in memory, deterministic, driven by
// the test. Time stands still until AdvanceTime; events arrive through Click, KeyDown and
// QueueEvent; End() unwinds to the event that caused it and no further event is delivered. The
// backend is one program alone in its session: its running-copy lock is free unless it holds it,
// and the other windows of the system are windows it made (the desktop aside).
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/codepage.h"
#include "platform/desktop.h"
#include "platform/file_listing.h"
#include "platform/headless/headless_music.h"
#include "platform/memory_settings.h"
#include "platform/virtual_clock.h"

namespace velloway::headless {

// A line of text as the headless backend "draws" it: what it holds, for a test to read back.
struct HeadlessTextImage : platform::TextImage {
  HeadlessTextImage(platform::FontSpec font, std::string text, platform::TextImageSpan span,
                    Color color, Color background, int height)
      : Font(std::move(font)),
        Text(std::move(text)),
        Span(span),
        Color(color),
        Background(background),
        Height(span.Phase > 0 ? height + 1 : height) {}
  // As much as a 32-bit image of the span would take.
  std::size_t Bytes() const override {
    return static_cast<std::size_t>(Span.Width) * static_cast<std::size_t>(Height) * 4;
  }
  platform::FontSpec Font;
  std::string Text;
  platform::TextImageSpan Span;
  velloway::Color Color;
  velloway::Color Background;
  int Height;
};

struct HeadlessControl {
  platform::ControlProperties Properties;
  platform::ControlEvents* Events = nullptr;
  std::vector<std::string> Items;
  int Selected = -1;
  bool Checked = false;
};

inline constexpr std::size_t kMaxInvalidatedAreas = 1024;

struct HeadlessWindow {
  platform::WindowId Id = 0;
  std::string Caption;
  platform::WindowStyle Style;
  platform::PixelRect Bounds;
  bool Visible = false;
  bool AboveOthers = false;
  platform::WindowId Host = 0;  // the window this one is embedded in; 0 for a top-level window
  platform::WindowEvents* Events = nullptr;
  // Areas marked for repainting, oldest first; beyond kMaxInvalidatedAreas they merge into one.
  std::vector<platform::PixelRect> Invalidated;
  std::vector<std::shared_ptr<HeadlessControl>> Controls;  // in creation order
};

// Settings in memory whose writes a test can make fail, as an unwritable registry's do.
class HeadlessSettings : public platform::MemorySettings {
 public:
  bool Write(std::string_view app, std::string_view section, std::string_view key,
             std::string_view value) override;
  void SetWritesFail(bool fail) { writesFail_ = fail; }

 private:
  bool writesFail_ = false;
};

// It stands for either program: it is a desktop too.
class HeadlessBackend : public platform::Backend,
                        public platform::Desktop,
                        public platform::SimulatedTime {
 public:
  using TextMetrics =
      std::function<platform::TextExtent(const platform::FontSpec&, std::string_view)>;

  HeadlessBackend();
  ~HeadlessBackend() override;
  HeadlessBackend(const HeadlessBackend&) = delete;
  HeadlessBackend& operator=(const HeadlessBackend&) = delete;

  // --- platform::Backend and platform::Desktop ---
  std::unique_ptr<platform::NativeWindow> CreateNativeWindow(platform::WindowEvents& events,
                                                             const platform::WindowStyle& style,
                                                             std::string_view caption) override;
  std::unique_ptr<platform::TimerDriver> CreateTimer(std::function<void()> onTick) override {
    return clock_.CreateTimer(std::move(onTick));
  }
  // Frames at the screen's refresh rate on the virtual clock (see platform::VirtualClock).
  std::unique_ptr<platform::FrameDriver> CreateFrameDriver(
      std::function<void(const platform::DisplayFrame&)> onFrame) override {
    return clock_.CreateFrameDriver(std::move(onFrame));
  }
  platform::TextExtent MeasureText(const platform::FontSpec& font, std::string_view text) override;
  platform::PhaseImages CreateTextImages(const platform::FontSpec& font, std::string_view text,
                                         platform::TextImageSpan span, platform::PhaseSet phases,
                                         Color color, Color background) override;
  platform::ScreenMetrics Screen() override { return screen_; }
  std::string ScriptFolder() override { return scriptFolder_; }
  // Lists the real directory, as the platform the backend is built for does.
  std::vector<std::string> ListFiles(std::string_view directory,
                                     std::string_view pattern) override {
    return platform::ListFiles(directory, pattern);
  }
  platform::SettingsStore& Settings() override { return settings_; }
  HeadlessMusic& Music() override { return music_; }
  platform::ScriptFileNames FileNames() override { return fileNames_; }
  unsigned ScriptCodePage() override { return codePage_; }
  std::optional<platform::PixelPoint> PointerPosition() override { return pointer_; }
  std::string ProgramFolder() override { return programFolder_; }
  bool HostExists(platform::WindowId host) override { return windows_.contains(host); }
  void ActivateOwnerOf(platform::WindowId host) override;
  bool FindRunningCopy(std::span<const std::string_view> captions) override;
  // Null while the lock is held: nothing else runs while a start would wait for it.
  std::unique_ptr<platform::RunningCopyLock> ClaimRunningCopyLock() override;
  void RunWaitingEvents() override;
  [[noreturn]] void End() override;

  // The desktop: a window that exists, is no form's, and hosts no preview.
  static constexpr platform::WindowId kDesktop = 0x10010;

  // --- what a test controls ---
  // Changes the screens; the open windows hear of it.
  void SetScreen(const platform::ScreenMetrics& screen);
  void SetScriptFolder(std::string path) { scriptFolder_ = std::move(path); }
  void SetProgramFolder(std::string path) { programFolder_ = std::move(path); }
  // How file names are read (Windows until set) and the scripts' code page (the default until set).
  void SetFileNames(platform::ScriptFileNames names) { fileNames_ = names; }
  void SetScriptCodePage(unsigned codePage) { codePage_ = codePage; }
  // Replaces the default metrics: a line is round(points * dpi / 72) pixels high and each
  // character half as wide.
  void SetTextMetrics(TextMetrics metrics) { metrics_ = std::move(metrics); }
  HeadlessSettings& SettingsStore() { return settings_; }
  // Moves the pointer; nothing makes it unreadable.
  void SetPointer(platform::PixelPoint position) { pointer_ = position; }
  // From now on the pointer cannot be read.
  void SetPointerUnreadable() { pointer_.reset(); }
  // Another program's window `owner` owns `window`.
  void SetOwner(platform::WindowId window, platform::WindowId owner) { owners_[window] = owner; }
  // The window the program last handed the activation to; 0 before it did.
  platform::WindowId ActivatedWindow() const { return activated_; }
  // How often the program has looked for a running copy.
  int RunningCopySearches() const { return runningCopySearches_; }
  // Runs observe each time the program processes its waiting events (RunWaitingEvents), before
  // them.
  void ObserveEvents(std::function<void()> observe) { observeEvents_ = std::move(observe); }

  // Lets time pass: every timer tick and frame that falls due runs, in time order; a tick
  // before a frame due at the same moment.
  void AdvanceTime(std::int64_t milliseconds);
  void AdvanceTimeUs(std::int64_t microseconds);
  void AdvanceTo(std::int64_t nowUs) override { AdvanceTimeUs(nowUs - NowUs()); }
  std::int64_t Now() const { return clock_.NowUs() / 1000; }
  std::int64_t NowUs() const { return clock_.NowUs(); }
  // How many text images the program has had drawn so far.
  int TextImagesMade() const { return textImagesMade_; }
  // Delivers a click (a button pressed and released at one place), a press, a release or a key
  // going down (any key) to a window, as the user would.
  void Click(platform::WindowId window, int x, int y,
             platform::MouseButton button = platform::MouseButton::Left);
  void MouseDown(platform::WindowId window, platform::MouseButton button, int x, int y);
  void MouseUp(platform::WindowId window, platform::MouseButton button, int x, int y);
  void KeyDown(platform::WindowId window);
  // Another program's window takes the activation: every window of the program hears of it.
  void ActivateOtherProgram();
  // Another program asks to minimise a window, which a borderless window refuses; or minimises
  // it outright, as ShowWindow does.
  void RequestMinimize(platform::WindowId window);
  void Minimize(platform::WindowId window);
  // The user picks entry `index` of the window's list (the list's own selection changes; the form
  // hears nothing of it), or presses a button by its caption, or presses Enter or Escape in a
  // window with default and cancel buttons, wherever the focus is.
  void ChooseListEntry(platform::WindowId window, int index);
  // The user clicks the check box of that caption: it turns on or off; the form hears nothing.
  void ToggleCheckBox(platform::WindowId window, std::string_view caption);
  void PressButton(platform::WindowId window, std::string_view caption);
  void PressEnter(platform::WindowId window);
  void PressEscape(platform::WindowId window);
  // Destroys a window as the system would (with its parent, say): its form hears of it.
  void DestroyWindow(platform::WindowId window);
  // An event that waits until the program next processes its events (RunWaitingEvents).
  void QueueEvent(std::function<void()> event) { queued_.push_back(std::move(event)); }

  bool Ended() const { return clock_.Stopped(); }
  const HeadlessWindow* Window(platform::WindowId id) const;
  std::vector<const HeadlessWindow*> Windows() const;
  // Paints what was invalidated since the last call and forgets it.
  void PaintInvalidated(platform::WindowId id, platform::Canvas& canvas);

 private:
  class NativeWindowImpl;
  class NativeControlImpl;
  friend class NativeWindowImpl;

  // Runs one event; an End() inside it stops everything.
  void Deliver(const std::function<void()>& event);
  // Delivers an event to every open window; one destroyed meanwhile hears nothing more.
  void DeliverToEachWindow(void (platform::WindowEvents::*event)());

  platform::ScreenMetrics screen_;
  std::string scriptFolder_ = "/velloway";
  std::string programFolder_ = "/velloway";
  TextMetrics metrics_;
  HeadlessSettings settings_;
  HeadlessMusic music_;
  platform::ScriptFileNames fileNames_ = platform::ScriptFileNames::Windows;
  unsigned codePage_ = platform::kDefaultCodePage;
  std::optional<platform::PixelPoint> pointer_ = platform::PixelPoint{};
  std::map<platform::WindowId, platform::WindowId> owners_;
  platform::WindowId activated_ = 0;
  int runningCopySearches_ = 0;
  std::function<void()> observeEvents_;
  std::map<platform::WindowId, HeadlessWindow> windows_;
  platform::WindowId nextId_ = 0x1000;
  platform::VirtualClock clock_{*this};  // stopped when the program has ended
  std::deque<std::function<void()>> queued_;
  int textImagesMade_ = 0;
  bool runningCopyLockHeld_ = false;
};

}  // namespace velloway::headless
