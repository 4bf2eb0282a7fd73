// preview_host: the end-to-end tests' stand-in for the Display control panel. It makes a host
// window whose handle a screen saver is given with "/p", and answers commands read from stdin,
// one a line, so that a test can look at other programs' windows through the Win32 API (under
// Wine a window embedded into another process's window is not drawn, so the screen cannot show
// it). Every answer ends with a line "END".
//
//   children          each window inside the host: CHILD lines
//   window <caption>  the top-level window of that caption: a WINDOW line (with its thread's focus
//                     and active windows, and the foreground window), then a CHILD line for
//                     each window inside it (a button's with checked=0|1), a combo box's entries
//                     as ITEM lines after its CHILD
//   iswindow <n>      ISWINDOW result=0|1 for the handle n
//   setcursel <n> <i> selects entry i of the combo box of handle n as another program would
//                     (CB_SETCURSEL, of which its parent hears nothing): SETCURSEL result=<i or -1>
//   openlist <caption>  the opened drop-down lists of the top-level window of that caption, which
//                     the system shows as windows of their own: a LIST line for each, with
//                     client=<width>,<height>
//   textwidth<TAB><points><TAB><weight><TAB><charset><TAB><face><TAB><text>
//                     the text's width in pixels in that font at the system's DPI:
//                     TEXTWIDTH width=<n>
//   destroy           destroys the host window; the program goes on running
//   quit              ends the program
//
// HOST, the first line, gives the host window, its client area on the screen and the desktop
// window's handle. Fields are key=value; "title=" and "text=" come last and run to the end of the
// line. The program ends by itself after the lifetime given as its one argument in seconds
// (default 120), so that a test that fails to send "quit" leaves nothing running.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

namespace {

constexpr wchar_t kHostClass[] = L"VellowayPreviewHost";
// The pane a preview gets; at a high DPI the system may make it a little wider (a window with a
// caption has a minimum width).
constexpr int kClientWidth = 200;
constexpr int kClientHeight = 150;
// A line from stdin, posted to the main thread; lParam owns a heap std::string.
constexpr UINT kCommandMessage = WM_APP + 1;
// How long another program may take to answer a message before it counts as hung.
constexpr UINT kSendTimeoutMs = 2000;

struct WindowDeleter {
  void operator()(HWND window) const { DestroyWindow(window); }
};
using UniqueWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDeleter>;

struct GdiDeleter {
  void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using UniqueBrush = std::unique_ptr<std::remove_pointer_t<HBRUSH>, GdiDeleter>;
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiDeleter>;

// The screen's DC, borrowed for a scope.
class ScreenDc {
 public:
  ScreenDc() : dc_(GetDC(nullptr)) {}
  ~ScreenDc() { ReleaseDC(nullptr, dc_); }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HDC dc_;
};

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
  return out;
}

// Handles print as the decimal number a screen saver is given after "/p".
unsigned long long Number(HWND window) {
  return static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(window));
}

void Say(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);  // the test reads the output while the program runs
}

std::string Rect(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," +
         std::to_string(r.right - r.left) + "," + std::to_string(r.bottom - r.top);
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

// Through a timeout: the window may belong to a program that no longer answers.
LRESULT Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool& answered) {
  DWORD_PTR result = 0;
  answered = SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                                 &result) != 0;
  return static_cast<LRESULT>(result);
}

std::wstring TextOf(HWND window) {
  bool answered = false;
  const LRESULT length = Ask(window, WM_GETTEXTLENGTH, 0, 0, answered);
  if (!answered || length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT got =
      Ask(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), answered);
  text.resize(answered && got > 0 ? static_cast<std::size_t>(got) : 0);
  return text;
}

// `extra` goes before the class and the title, which run to the end of the line.
std::string Describe(const char* kind, HWND window, const std::string& extra = {}) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  RECT r{};
  GetWindowRect(window, &r);
  return std::string(kind) + " hwnd=" + std::to_string(Number(window)) +
         " parent=" + std::to_string(Number(GetParent(window))) + " pid=" + std::to_string(pid) +
         " visible=" + (IsWindowVisible(window) ? "1" : "0") + " rect=" + Rect(r) + extra +
         " class=" + Utf8(ClassOf(window)) + " title=" + Utf8(TextOf(window));
}

void SayComboItems(HWND combo) {
  bool answered = false;
  const LRESULT count = Ask(combo, CB_GETCOUNT, 0, 0, answered);
  if (!answered) return;
  const LRESULT selected = Ask(combo, CB_GETCURSEL, 0, 0, answered);
  for (LRESULT i = 0; i < count; ++i) {
    const auto index = static_cast<WPARAM>(i);
    const LRESULT length = Ask(combo, CB_GETLBTEXTLEN, index, 0, answered);
    std::wstring text(length > 0 ? static_cast<std::size_t>(length) + 1 : 1, L'\0');
    const LRESULT got =
        Ask(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()), answered);
    text.resize(answered && got > 0 ? static_cast<std::size_t>(got) : 0);
    Say("ITEM index=" + std::to_string(i) + " selected=" + (i == selected ? "1" : "0") +
        " text=" + Utf8(text));
  }
}

// " checked=0|1" for a button (BM_GETCHECK; a push button is never checked), else nothing.
std::string CheckedField(HWND window) {
  if (ClassOf(window) != L"Button") return {};
  bool answered = false;
  const LRESULT state = Ask(window, BM_GETCHECK, 0, 0, answered);
  return std::string(" checked=") + (answered && state == BST_CHECKED ? "1" : "0");
}

BOOL CALLBACK SayChild(HWND child, LPARAM) {
  Say(Describe("CHILD", child, CheckedField(child)));
  if (ClassOf(child) == L"ComboBox") SayComboItems(child);
  return TRUE;
}

void SayWindow(const std::string& caption) {
  const HWND window = FindWindowW(nullptr, Wide(caption).c_str());
  if (window == nullptr) {
    Say("WINDOW hwnd=0");
    return;
  }
  GUITHREADINFO gui{};
  gui.cbSize = sizeof gui;
  const DWORD thread = GetWindowThreadProcessId(window, nullptr);
  const bool known = GetGUIThreadInfo(thread, &gui) != FALSE;
  const HWND focus = known ? gui.hwndFocus : nullptr;
  const HWND active = known ? gui.hwndActive : nullptr;
  Say(Describe("WINDOW", window,
               " focus=" + std::to_string(Number(focus)) +
                   " active=" + std::to_string(Number(active)) +
                   " foreground=" + std::to_string(Number(GetForegroundWindow()))));
  EnumChildWindows(window, SayChild, 0);
}

void SayOpenedLists(const std::string& caption) {
  const HWND window = FindWindowW(nullptr, Wide(caption).c_str());
  if (window == nullptr) return;
  struct Search {
    DWORD thread;
  } search{GetWindowThreadProcessId(window, nullptr)};
  EnumWindows(
      [](HWND candidate, LPARAM data) -> BOOL {
        const auto* state = reinterpret_cast<const Search*>(data);
        if (ClassOf(candidate) == L"ComboLBox" && IsWindowVisible(candidate) &&
            GetWindowThreadProcessId(candidate, nullptr) == state->thread) {
          RECT client{};
          GetClientRect(candidate, &client);
          Say(Describe(
              "LIST", candidate,
              " client=" + std::to_string(client.right) + "," + std::to_string(client.bottom)));
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
}

void SaySelected(const std::string& arguments) {
  char* end = nullptr;
  const auto handle = static_cast<std::uintptr_t>(std::strtoull(arguments.c_str(), &end, 10));
  const auto index = static_cast<WPARAM>(std::strtol(end, nullptr, 10));
  bool answered = false;
  const LRESULT result = Ask(reinterpret_cast<HWND>(handle), CB_SETCURSEL, index, 0, answered);
  Say("SETCURSEL result=" + std::to_string(answered ? result : CB_ERR));
}

// "points<TAB>weight<TAB>charset<TAB>face<TAB>text"
void SayTextWidth(const std::string& arguments) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (std::size_t tab;
       fields.size() < 4 && (tab = arguments.find('\t', start)) != std::string::npos;
       start = tab + 1) {
    fields.push_back(arguments.substr(start, tab - start));
  }
  if (fields.size() < 4) {
    Say("ERROR textwidth wants points, weight, charset, face and text");
    return;
  }
  const std::wstring text = Wide(arguments.substr(start));
  const ScreenDc screen;
  LOGFONTW logFont{};
  const auto hundredths =
      static_cast<int>(std::lround(std::strtod(fields[0].c_str(), nullptr) * 100));
  logFont.lfHeight = -MulDiv(hundredths, GetDeviceCaps(screen.Get(), LOGPIXELSY), 7200);
  logFont.lfWeight = std::atoi(fields[1].c_str());
  logFont.lfCharSet = static_cast<BYTE>(std::atoi(fields[2].c_str()));
  Wide(fields[3]).copy(logFont.lfFaceName, LF_FACESIZE - 1);
  const UniqueFont font(CreateFontIndirectW(&logFont));
  const HGDIOBJ previous = SelectObject(screen.Get(), font.get());
  SIZE size{};
  GetTextExtentPoint32W(screen.Get(), text.data(), static_cast<int>(text.size()), &size);
  SelectObject(screen.Get(), previous);  // before the font goes
  Say("TEXTWIDTH width=" + std::to_string(size.cx));
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

// Reads stdin on its own thread: the window's thread must keep handling messages.
void ReadCommands(DWORD mainThread) {
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    auto command = std::make_unique<std::string>(line);
    if (PostThreadMessageW(mainThread, kCommandMessage, 0,
                           reinterpret_cast<LPARAM>(command.get()))) {
      command.release();  // the main thread owns it now
    }
  }
  // The test is gone or done: nothing is left to answer.
  auto quit = std::make_unique<std::string>("quit");
  if (PostThreadMessageW(mainThread, kCommandMessage, 0, reinterpret_cast<LPARAM>(quit.get()))) {
    quit.release();
  }
}

}  // namespace

int main(int argc, char** argv) {
  const long lifetimeSeconds = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 120;
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  // A background of its own, so that a screenshot tells the host's pane from the preview.
  const UniqueBrush background(CreateSolidBrush(RGB(0x30, 0x60, 0x90)));
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = HostProc;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = background.get();
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kHostClass;
  if (RegisterClassW(&windowClass) == 0) {
    Say("ERROR RegisterClassW " + std::to_string(GetLastError()));
    return 1;
  }
  constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
  RECT frame{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRect(&frame, kStyle, FALSE);
  UniqueWindow host(CreateWindowW(kHostClass, L"Velloway preview host", kStyle, 60, 60,
                                  frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                  nullptr, instance, nullptr));
  if (!host) {
    Say("ERROR CreateWindowW " + std::to_string(GetLastError()));
    return 1;
  }
  ShowWindow(host.get(), SW_SHOWNORMAL);
  UpdateWindow(host.get());
  RECT client{};
  GetClientRect(host.get(), &client);
  MapWindowPoints(host.get(), nullptr, reinterpret_cast<POINT*>(&client), 2);
  Say("HOST hwnd=" + std::to_string(Number(host.get())) +
      " pid=" + std::to_string(GetCurrentProcessId()) + " client=" + Rect(client) +
      " desktop=" + std::to_string(Number(GetDesktopWindow())));

  // A thread timer: it outlives the host window.
  SetTimer(nullptr, 0, static_cast<UINT>(lifetimeSeconds) * 1000u, nullptr);
  std::thread(ReadCommands, GetCurrentThreadId()).detach();

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.hwnd == nullptr && message.message == WM_TIMER) {
      Say("LIFETIME over");
      return 3;
    }
    if (message.hwnd == nullptr && message.message == kCommandMessage) {
      const std::unique_ptr<std::string> command(reinterpret_cast<std::string*>(message.lParam));
      const std::string& text = *command;
      if (text == "quit") return 0;
      if (text == "children") {
        if (host) EnumChildWindows(host.get(), SayChild, 0);
      } else if (text.rfind("window ", 0) == 0) {
        SayWindow(text.substr(7));
      } else if (text.rfind("iswindow ", 0) == 0) {
        const auto handle =
            static_cast<std::uintptr_t>(std::strtoull(text.c_str() + 9, nullptr, 10));
        Say(std::string("ISWINDOW result=") +
            (IsWindow(reinterpret_cast<HWND>(handle)) ? "1" : "0"));
      } else if (text.rfind("setcursel ", 0) == 0) {
        SaySelected(text.substr(10));
      } else if (text.rfind("openlist ", 0) == 0) {
        SayOpenedLists(text.substr(9));
      } else if (text.rfind("textwidth\t", 0) == 0) {
        SayTextWidth(text.substr(10));
      } else if (text == "destroy") {
        host.reset();
        Say("DESTROYED");
      } else {
        Say("ERROR unknown command " + text);
      }
      Say("END");
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
