// The Windows backend against the real system (under Wine in the build). What needs no display
// always runs; the window tests skip when no window can be made.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/program_identity.h"
#include "forms/label.h"
#include "platform/wide_text.h"
#include "programs/windows/command_line.h"
#include "platform/win32/gdi_canvas.h"
#include "platform/win32/mci_music_device.h"
#include "platform/win32/recording_system_calls.h"
#include "platform/win32/registry_settings.h"
#include "platform/win32/system_calls.h"
#include "platform/win32/win32_backend.h"
#include "platform/win32/win32_handles.h"
#include "support/temp_dir.h"

namespace velloway::win32 {
namespace {

using forms::FontSpec;
using forms::PixelRect;
using platform::Utf8ToWide;

// ---- The arguments part of the command line ----

struct ArgumentCase {
  const wchar_t* commandLine;
  const wchar_t* expected;
};

class ArgumentTextTest : public ::testing::TestWithParam<ArgumentCase> {};

TEST_P(ArgumentTextTest, SkipsTheProgramPathAndTheSeparatingBlanks) {
  EXPECT_EQ(ArgumentText(GetParam().commandLine), std::wstring_view(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, ArgumentTextTest,
    ::testing::Values(ArgumentCase{L"velloway.scr /s", L"/s"}, ArgumentCase{L"velloway.scr", L""},
                      ArgumentCase{L"velloway.scr ", L""}, ArgumentCase{L"", L""},
                      ArgumentCase{L"velloway.scr   /c:1234", L"/c:1234"},
                      ArgumentCase{L"velloway.scr\t/p 5678", L"/p 5678"},
                      ArgumentCase{L"velloway.scr /s  ", L"/s  "},
                      ArgumentCase{L"\"C:\\Program Files\\velloway.scr\" /S", L"/S"},
                      ArgumentCase{L"\"C:\\a b\\velloway.scr\"", L""},
                      ArgumentCase{L"\"C:\\a b\\velloway.scr\"/s", L"/s"},
                      ArgumentCase{L"\"C:\\unterminated /s", L""},
                      ArgumentCase{L"C:\\dir\\velloway.scr /a 12 /x", L"/a 12 /x"}));

// ---- Text in the system code page ----

struct CodePageCase {
  const wchar_t* text;
  unsigned codePage;
  std::optional<std::string> expected;
};

class CodePageTest : public ::testing::TestWithParam<CodePageCase> {};

TEST_P(CodePageTest, ConvertsOnlyWhatTheCodePageHoldsExactly) {
  EXPECT_EQ(ToCodePageExactly(GetParam().text, GetParam().codePage), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CodePageTest,
    ::testing::Values(CodePageCase{L"", 1252, std::string()},
                      CodePageCase{L"status bgm mode", 1252, std::string("status bgm mode")},
                      CodePageCase{L"caf\u00e9", 1252, std::string("caf\xe9")},
                      CodePageCase{L"\u65e5\u672c", 1252, std::nullopt},
                      // Best fit would give "A": not exact.
                      CodePageCase{L"\u0100", 1252, std::nullopt},
                      CodePageCase{L"\u65e5\u672c", 932, std::string("\x93\xfa\x96\x7b")},
                      CodePageCase{L"caf\u00e9", 932, std::nullopt},
                      CodePageCase{L"\u65e5\u672c", CP_UTF8,
                                   std::string("\xe6\x97\xa5\xe6\x9c\xac")}));

// ---- Text metrics ----

FontSpec Font(const char* name, float size, bool bold = false) {
  return FontSpec{name, size, bold, false, forms::kDefaultCharset};
}

TEST(MeasureTextTest, GrowsWithTheFontSize) {
  Win32Backend backend;
  const float sizes[] = {6, 8.25f, 10, 12, 16, 24, 36, 72};
  forms::TextExtent previous{};
  for (const float size : sizes) {
    const forms::TextExtent extent = backend.MeasureText(Font("Arial", size), "Credits roll");
    SCOPED_TRACE(size);
    EXPECT_GT(extent.Width, previous.Width);
    EXPECT_GT(extent.Height, previous.Height);
    previous = extent;
  }
}

TEST(MeasureTextTest, FollowsTheDpiAndPointSize) {
  Win32Backend backend;
  const int dpi = backend.Screen().DpiY;
  // A line is at least the em height: size_pt * dpi / 72 pixels.
  const forms::TextExtent extent = backend.MeasureText(Font("Arial", 72), "H");
  EXPECT_GE(extent.Height, dpi);
  EXPECT_LT(extent.Height, dpi * 3 / 2);
}

TEST(MeasureTextTest, EmptyTextHasNoWidthAndTheLineHeight) {
  Win32Backend backend;
  const FontSpec font = Font("Tahoma", 12);
  const forms::TextExtent empty = backend.MeasureText(font, "");
  EXPECT_EQ(empty.Width, 0);
  EXPECT_EQ(empty.Height, backend.MeasureText(font, "x").Height);
  EXPECT_GT(empty.Height, 0);
}

TEST(MeasureTextTest, WiderTextAndBoldAreWider) {
  Win32Backend backend;
  const FontSpec font = Font("Arial", 12);
  EXPECT_GT(backend.MeasureText(font, "WWWW").Width, backend.MeasureText(font, "WW").Width);
  EXPECT_GT(backend.MeasureText(Font("Arial", 12, true), "Bold credits").Width,
            backend.MeasureText(font, "Bold credits").Width);
  // UTF-8 is measured as text, not as bytes: one wide character is one glyph.
  EXPECT_EQ(backend.MeasureText(font, "\xc3\xa9").Width, backend.MeasureText(font, "e").Width);
}

// ---- Settings in the registry ----

class RegistrySettingsTest : public ::testing::Test {
 protected:
  RegistrySettingsTest()
      : app_("VellowayTest-" + std::to_string(GetCurrentProcessId()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name()) {}
  ~RegistrySettingsTest() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\" + Utf8ToWide(app_)).c_str());
  }

  // Stores raw data under the test's Setting section.
  void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    const std::wstring path = L"Software\\" + Utf8ToWide(app_) + L"\\Setting";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const UniqueKey owned(key);
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes),
              ERROR_SUCCESS);
  }

  std::string app_;
  RegistrySettings settings_;
};

TEST_F(RegistrySettingsTest, TextsComeBackAsWritten) {
  const std::string texts[] = {"", "Default.vws",
                               "C:\\Scripts\\caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac.vws",
                               "\xf0\x9f\x8e\xb5 music", std::string(100000, 'x')};
  for (const std::string& text : texts) {
    SCOPED_TRACE(text.substr(0, 40));
    ASSERT_TRUE(settings_.Write(app_, "Setting", "ScriptFileName", text));
    EXPECT_EQ(settings_.Read(app_, "Setting", "ScriptFileName"), text);
  }
}

TEST_F(RegistrySettingsTest, StoresUnderTheApplicationAndSection) {
  ASSERT_TRUE(settings_.Write(app_, "Setting", "ScriptFileName", "a.vws"));
  const std::wstring path = L"Software\\" + Utf8ToWide(app_) + L"\\Setting";
  wchar_t value[32] = {};
  DWORD bytes = sizeof(value);
  ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, path.c_str(), L"ScriptFileName", RRF_RT_REG_SZ, nullptr,
                         value, &bytes),
            ERROR_SUCCESS);
  EXPECT_STREQ(value, L"a.vws");
}

TEST_F(RegistrySettingsTest, AbsentValuesReadAsNothing) {
  EXPECT_EQ(settings_.Read(app_, "Setting", "ScriptFileName"), std::nullopt);  // no key
  ASSERT_TRUE(settings_.Write(app_, "Setting", "Other", "1"));
  EXPECT_EQ(settings_.Read(app_, "Setting", "ScriptFileName"), std::nullopt);  // no value
  EXPECT_EQ(settings_.Read(app_, "Elsewhere", "Other"), std::nullopt);
}

TEST_F(RegistrySettingsTest, ValuesThatAreNoTextReadAsNothing) {
  const DWORD number = 42;
  SetRaw(L"Number", REG_DWORD, &number, sizeof(number));
  const BYTE bytes[] = {'a', 0, 'b', 0, 0, 0};
  SetRaw(L"Binary", REG_BINARY, bytes, sizeof(bytes));
  SetRaw(L"Strings", REG_MULTI_SZ, L"a\0b\0", 5 * sizeof(wchar_t));
  for (const char* name : {"Number", "Binary", "Strings"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(settings_.Read(app_, "Setting", name), std::nullopt);
  }
}

TEST_F(RegistrySettingsTest, TextsWithoutTerminatorOrWithOddSizesRead) {
  SetRaw(L"Bare", REG_SZ, L"abc", 3 * sizeof(wchar_t));
  SetRaw(L"Odd", REG_SZ, L"abc", 3 * sizeof(wchar_t) + 1);
  SetRaw(L"Inner", REG_SZ, L"ab\0cd", 6 * sizeof(wchar_t));
  EXPECT_EQ(settings_.Read(app_, "Setting", "Bare"), "abc");
  EXPECT_EQ(settings_.Read(app_, "Setting", "Odd"), "abc");
  EXPECT_EQ(settings_.Read(app_, "Setting", "Inner"), "ab");
}

TEST_F(RegistrySettingsTest, MissingNamesAreRefused) {
  EXPECT_FALSE(settings_.Write("", "Setting", "Key", "x"));
  EXPECT_FALSE(settings_.Write(app_, "", "Key", "x"));
  EXPECT_EQ(settings_.Read("", "Setting", "Key"), std::nullopt);
}

// ---- Painting with GDI ----

constexpr Color kNavy = 0x402010;    // red 0x10, green 0x20, blue 0x40
constexpr Color kOrange = 0x0080FF;  // red 0xFF, green 0x80, blue 0x00

// How many pixels of the rectangle differ from the background colour.
int CountInked(const Surface& surface, const PixelRect& rect, Color background) {
  int count = 0;
  for (int y = rect.Top; y < rect.Bottom; ++y) {
    for (int x = rect.Left; x < rect.Right; ++x) count += surface.Pixel(x, y) != background;
  }
  return count;
}

class GdiPaintTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(target_.Reserve(200, 100)); }
  void Paint(const PixelRect& area, const PaintRoutine& routine) {
    PaintThrough(buffer_, fonts_, target_.Dc(), area, routine);
  }

  FontCache fonts_{96};
  Surface buffer_;
  Surface target_;
};

TEST_F(GdiPaintTest, ColourValuesAreRedGreenBlueFromTheLowByte) {
  Paint({0, 0, 200, 100},
        [](forms::Canvas& canvas, const PixelRect& area) { canvas.FillRect(area, kOrange); });
  EXPECT_EQ(target_.Pixel(0, 0), kOrange);
  EXPECT_EQ(target_.Pixel(199, 99), kOrange);
  EXPECT_EQ(ToColorRef(kOrange), RGB(0xFF, 0x80, 0x00));
  EXPECT_EQ(ToColorRef(static_cast<Color>(0x80000005)), GetSysColor(COLOR_WINDOW));
}

TEST_F(GdiPaintTest, PaintsOnlyTheAreaWithABufferOfItsSize) {
  Paint({0, 0, 200, 100},
        [](forms::Canvas& canvas, const PixelRect& area) { canvas.FillRect(area, kNavy); });
  Surface small;
  const PixelRect area{50, 20, 90, 45};
  PaintThrough(small, fonts_, target_.Dc(), area,
               [&](forms::Canvas& canvas, const PixelRect& painted) {
                 EXPECT_EQ(painted, area);
                 canvas.FillRect({0, 0, 200, 100}, kOrange);  // clipped to the area
               });
  EXPECT_EQ(small.Width(), area.Width());
  EXPECT_EQ(small.Height(), area.Height());
  EXPECT_EQ(CountInked(target_, {0, 0, 200, 100}, kNavy), area.Width() * area.Height());
  EXPECT_EQ(CountInked(target_, area, kOrange), 0);
}

TEST_F(GdiPaintTest, TextLiesInsideItsMeasuredBoxAndIsClipped) {
  const FontSpec font = Font("Arial", 14);
  const forms::TextExtent extent = fonts_.Measure(font, "Velloway");
  const int x = 20;
  const int y = 30;
  Paint({0, 0, 200, 100}, [&](forms::Canvas& canvas, const PixelRect& area) {
    canvas.FillRect(area, kNavy);
    canvas.DrawText(font, "Velloway", x, y, kOrange);
  });
  const PixelRect box{x - 2, y, x + extent.Width + 2, y + extent.Height};
  EXPECT_GT(CountInked(target_, box, kNavy), 50);
  EXPECT_EQ(CountInked(target_, {0, 0, 200, box.Top}, kNavy), 0);
  EXPECT_EQ(CountInked(target_, {0, box.Bottom, 200, 100}, kNavy), 0);
  EXPECT_EQ(CountInked(target_, {box.Right, 0, 200, 100}, kNavy), 0);
  // Antialiased, but the core strokes carry the text colour.
  int exact = 0;
  for (int py = box.Top; py < box.Bottom; ++py) {
    for (int px = box.Left; px < box.Right; ++px) exact += target_.Pixel(px, py) == kOrange;
  }
  EXPECT_GT(exact, 10);

  // Painting the left half again clips the text at the edge.
  const int middle = x + extent.Width / 2;
  Paint({0, 0, middle, 100},
        [&](forms::Canvas& canvas, const PixelRect& area) { canvas.FillRect(area, kNavy); });
  EXPECT_EQ(CountInked(target_, {0, 0, middle, 100}, kNavy), 0);
  EXPECT_GT(CountInked(target_, {middle, box.Top, box.Right, box.Bottom}, kNavy), 10);
}

// The system has room for about 65,000 GDI objects per process: painting more often than that
// only keeps working when every paint releases what it made.
TEST_F(GdiPaintTest, RepeatedPaintingReleasesEveryGdiObject) {
  constexpr int kPaints = 70000;
  auto fonts = std::make_unique<FontCache>(96);
  for (int i = 0; i < kPaints; ++i) {
    if (i % 5000 == 0) fonts = std::make_unique<FontCache>(96);  // its fonts go with it
    Surface buffer;                                              // a DC and a bitmap each time
    PaintThrough(buffer, *fonts, target_.Dc(), {0, 0, 40 + i % 7, 20},
                 [&](forms::Canvas& canvas, const PixelRect& area) {
                   canvas.FillRect(area, kNavy);
                   canvas.DrawText(Font("Arial", static_cast<float>(8 + i % 4)), "R", 0, 0,
                                   kOrange);
                 });
  }
  Surface last;
  ASSERT_TRUE(last.Reserve(200, 100));
  PaintThrough(last, *fonts, target_.Dc(), {0, 0, 200, 100},
               [&](forms::Canvas& canvas, const PixelRect& area) {
                 canvas.FillRect(area, kNavy);
                 canvas.DrawText(Font("Arial", 14), "Still here", 10, 10, kOrange);
               });
  EXPECT_GT(CountInked(target_, {0, 0, 200, 100}, kNavy), 50);
}

// A form with a label, painted through the backend's fonts into an offscreen picture.
class LabelledForm : public forms::Form {
 public:
  explicit LabelledForm(forms::Backend& backend)
      : Form(backend, Design()), label_(*this, LabelText()) {}
  const forms::Label& Line() const { return label_; }

 private:
  static forms::FormDesign Design() {
    forms::FormDesign design;
    design.BackColor = kNavy;
    design.Width = 3000;  // 200 x 100 pixels at 96 DPI
    design.Height = 1500;
    return design;
  }
  static forms::LabelDesign LabelText() {
    forms::LabelDesign design;
    design.Caption = "Credits";
    design.Font = Font("Arial", 12);
    design.ForeColor = kOrange;
    design.AutoSize = true;
    design.Left = 300;  // 20 pixels
    design.Top = 450;   // 30 pixels
    return design;
  }

  forms::Label label_;
};

TEST(FormPaintTest, ALabelIsDrawnOverTheBackground) {
  Win32Backend backend;
  if (backend.Screen().DpiX != 96 || backend.Screen().DpiY != 96) GTEST_SKIP() << "not 96 DPI";
  LabelledForm form(backend);
  Surface picture;
  ASSERT_TRUE(picture.Reserve(200, 100));
  FontCache fonts(96);
  Surface buffer;
  PaintThrough(
      buffer, fonts, picture.Dc(), {0, 0, 200, 100},
      [&](forms::Canvas& canvas, const PixelRect& area) { form.PaintContent(canvas, area); });
  const PixelRect bounds = form.Line().PixelBounds();
  EXPECT_EQ(bounds.Left, 20);
  EXPECT_EQ(bounds.Top, 30);
  EXPECT_EQ(picture.Pixel(5, 5), kNavy);
  EXPECT_GT(CountInked(picture, bounds, kNavy), 20);
  EXPECT_EQ(CountInked(picture, {0, 0, 200, bounds.Top}, kNavy), 0);
  EXPECT_EQ(CountInked(picture, {0, bounds.Bottom, 200, 100}, kNavy), 0);
}

// ---- The program's place, the screen, the media calls ----

TEST(BackendTest, AppPathIsTheProgramsDirectory) {
  Win32Backend backend;
  wchar_t module[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  const std::string path = backend.AppPath();
  ASSERT_FALSE(path.empty());
  EXPECT_NE(path.back(), '\\');
  EXPECT_EQ(Utf8ToWide(path) + L"\\" + std::wstring(wcsrchr(module, L'\\') + 1),
            std::wstring(module));
}

TEST(BackendTest, ScreenHasASizeAndDpi) {
  Win32Backend backend;
  const forms::ScreenMetrics screen = backend.Screen();
  EXPECT_GT(screen.WidthPx, 0);
  EXPECT_GT(screen.HeightPx, 0);
  EXPECT_GE(screen.DpiX, 72);
  EXPECT_GE(screen.DpiY, 72);
  for (const forms::MonitorArea& monitor : screen.OtherMonitors) {
    EXPECT_FALSE(monitor.Bounds.IsEmpty());
    EXPECT_GE(monitor.DpiX, 72);
    EXPECT_GE(monitor.DpiY, 72);
  }
}

// A silent PCM WAV file of a tenth of a second.
std::string SilentWave() {
  const std::uint32_t rate = 8000;
  const std::uint32_t dataBytes = rate / 10;
  std::string wave;
  const auto put = [&wave](std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) wave.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  };
  wave += "RIFF";
  put(36 + dataBytes, 4);
  wave += "WAVEfmt ";
  put(16, 4);
  put(1, 2);  // PCM
  put(1, 2);  // mono
  put(rate, 4);
  put(rate, 4);  // bytes per second
  put(1, 2);     // block align
  put(8, 2);     // bits per sample
  wave += "data";
  put(dataBytes, 4);
  wave.append(dataBytes, static_cast<char>(0x80));
  return wave;
}

TEST(MediaTest, CommandsReachTheDeviceInTheCodePageOrAsUnicode) {
  testing::TempDir dir;
  const std::string name = "caf\xc3\xa9.wav";  // in the ANSI code page: sent through the "A" call
  dir.Write(name, SilentWave());
  Win32SystemCalls calls;
  std::string reply;
  const std::string open = "open \"" + dir.Utf8() + "\\" + name + "\" type waveaudio alias ";
  if (calls.mciSendStringA(open + "w", reply, 0, nullptr) != 0) {
    GTEST_SKIP() << "no wave audio device";
  }
  reply = std::string(64, ' ');
  EXPECT_EQ(calls.mciSendStringA("status w mode", reply, 64, nullptr), 0u);
  EXPECT_EQ(reply, "stopped");
  EXPECT_EQ(calls.mciExecute("close w"), 0u);

  // Beyond the code page the command goes as UTF-16: an alias in Japanese is not confused with
  // another one, as it would be if both became "??".
  const std::string japan = "\xe6\x97\xa5\xe6\x9c\xac";
  const std::string china = "\xe4\xb8\xad\xe5\x9b\xbd";
  ASSERT_EQ(calls.mciSendStringA(open + japan, reply, 0, nullptr), 0u);
  EXPECT_EQ(calls.mciSendStringA("status " + japan + " mode", reply, 64, nullptr), 0u);
  EXPECT_EQ(reply, "stopped");
  EXPECT_NE(calls.mciSendStringA("status " + china + " mode", reply, 64, nullptr), 0u);
  EXPECT_EQ(calls.mciExecute("close " + japan), 0u);
}

TEST(MediaTest, FailuresReturnTheErrorWithoutAMessageBox) {
  Win32SystemCalls calls;
  std::string reply = "unchanged";
  const MCIERROR error = calls.mciSendStringA("bogus command", reply, 0, nullptr);
  EXPECT_NE(error, 0u);
  EXPECT_EQ(reply, "unchanged");  // no reply asked for
  EXPECT_EQ(calls.mciExecute("bogus command"), error);
  EXPECT_NE(calls.mciExecute("close \xe6\x97\xa5\xe6\x9c\xac"), 0u);
}

// ---- What the music device's steps come down to ----

const std::string kBlanks = "512 blanks, 512, 0)";

TEST(MusicDeviceTest, EachStepIsOneCommandToTheBgmDevice) {
  testing::TempDir dir;
  dir.Write("theme.wav", SilentWave());
  const std::string theme = dir.Utf8() + "\\theme.wav";
  testing::RecordingSystemCalls calls;
  MciMusicDevice device(calls);
  EXPECT_TRUE(device.Open(theme));
  EXPECT_TRUE(device.Play());
  device.Stop();
  device.Close();
  EXPECT_THAT(calls.calls, ::testing::ElementsAre(
                               R"(mciSendStringA("open ")" + theme + R"(" alias bgm", )" + kBlanks,
                               R"(mciSendStringA("play bgm notify", )" + kBlanks,
                               R"(mciExecute("stop bgm"))", R"(mciExecute("close bgm"))"));
  calls.mci = [](std::string_view, std::string&) -> MCIERROR { return 275; };
  EXPECT_FALSE(device.Open(theme));
  EXPECT_FALSE(device.Play());
}

TEST(MusicDeviceTest, OnlyARegularFileReachesTheMediaSystem) {
  testing::TempDir dir;
  // A pipe with a server waiting: opening it would connect at once, and the media system would
  // read it without end.
  const std::string pipe = "\\\\.\\pipe\\velloway-music-test";
  const HANDLE server = CreateNamedPipeW(platform::Utf8ToWide(pipe).c_str(), PIPE_ACCESS_OUTBOUND,
                                         PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  const win32::UniqueHandle owner(server);
  testing::RecordingSystemCalls calls;
  MciMusicDevice device(calls);
  for (const std::string& path :
       {dir.Utf8() + "\\missing.wav", dir.Utf8(), std::string("NUL"), pipe}) {
    EXPECT_FALSE(device.Open(path)) << path;
  }
  EXPECT_THAT(calls.calls, ::testing::IsEmpty());
}

TEST(MusicDeviceTest, PlayingNeedsExactlyPlayingInTheReply) {
  const struct {
    const char* reply;
    MCIERROR result;
    bool playing;
  } cases[] = {{"playing", 0, true}, {"playing\0x", 0, true}, {"Playing", 0, false},
               {"paused", 0, false}, {"playin", 0, false},    {"playing", 263, false}};
  for (const auto& c : cases) {
    testing::RecordingSystemCalls calls;
    calls.mci = [&](std::string_view, std::string& reply) {
      reply.replace(0, std::string(c.reply).size(), c.reply);
      return c.result;
    };
    MciMusicDevice device(calls);
    EXPECT_EQ(device.IsPlaying(), c.playing) << c.reply << " " << c.result;
    EXPECT_THAT(calls.calls,
                ::testing::ElementsAre(R"(mciSendStringA("status bgm mode", )" + kBlanks));
  }
}

// ---- What the backend's other intentions come down to ----

TEST(RunningCopyTest, EveryCaptionIsLookedForWhicheverIsFound) {
  using identity::kRunningCopyCaptions;
  std::vector<std::string> lookUps;
  for (const std::string_view caption : kRunningCopyCaptions) {
    lookUps.push_back("FindWindowA(null, \"" + std::string(caption) + "\")");
  }
  const struct {
    std::string_view running;  // the caption of the window that is open, or none
    bool found;
  } cases[] = {{kRunningCopyCaptions[0], true}, {kRunningCopyCaptions[1], true}, {"", false}};
  for (const auto& c : cases) {
    testing::RecordingSystemCalls calls;
    if (!c.running.empty())
      calls.windowsByCaption[std::string(c.running)] = reinterpret_cast<HWND>(0x1234);
    Win32Backend backend(GetModuleHandleW(nullptr), calls);
    EXPECT_EQ(backend.FindRunningCopy(kRunningCopyCaptions), c.found) << c.running;
    EXPECT_THAT(calls.calls, ::testing::ElementsAreArray(lookUps)) << c.running;
  }
}

// ---- Windows, timers and the message loop ----

struct RecordedEvents : forms::WindowEvents {
  std::vector<PixelRect> painted;
  std::vector<std::string> buttons;  // "down 2 12,34": pressed, the third button, at (12, 34)
  int keysDown = 0;
  int destroyed = 0;
  void OnPaint(forms::Canvas& canvas, const PixelRect& area) override {
    painted.push_back(area);
    canvas.FillRect(area, kNavy);
  }
  void OnPointerButtonDown(forms::MouseButton button, int x, int y) override {
    RecordButton("down", button, x, y);
  }
  void OnPointerButtonUp(forms::MouseButton button, int x, int y) override {
    RecordButton("up", button, x, y);
  }
  void OnKeyDown() override { ++keysDown; }
  void OnActivatedElsewhere() override {}
  void OnMinimizedBySystem() override {}
  void OnDisplayChanged() override {}
  void OnDestroyedBySystem() override { ++destroyed; }

 private:
  void RecordButton(const char* change, forms::MouseButton button, int x, int y) {
    buttons.push_back(std::string(change) + " " + std::to_string(static_cast<int>(button)) + " " +
                      std::to_string(x) + "," + std::to_string(y));
  }
};

class WindowTest : public ::testing::Test {
 protected:
  // The window, or null (and the test skipped) where windows cannot be made.
  std::unique_ptr<forms::NativeWindow> Make(const forms::WindowStyle& style,
                                            std::string_view caption = "Probe") {
    return backend_.CreateNativeWindow(events_, style, caption);
  }
  static HWND Hwnd(const forms::NativeWindow& window) {
    return reinterpret_cast<HWND>(window.Id());
  }
  // Runs the message loop's work until pred holds or the time is up.
  template <typename Pred>
  bool PumpUntil(Pred pred, std::chrono::milliseconds limit = std::chrono::seconds(1)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
      if (std::chrono::steady_clock::now() > end) return false;
      backend_.DoEvents();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }

  static std::string Text(const forms::NativeWindow& window) {
    return testing::RecordingSystemCalls::Text(Hwnd(window));
  }

  // What the windows' intentions come down to is recorded rather than carried out.
  testing::RecordingSystemCalls calls_;
  Win32Backend backend_{GetModuleHandleW(nullptr), calls_};
  RecordedEvents events_;
};

#define MAKE_WINDOW_OR_SKIP(name, ...) \
  auto name = Make(__VA_ARGS__);       \
  if (!name) GTEST_SKIP() << "windows cannot be made here (no display)"

TEST_F(WindowTest, BorderStylesAndTaskbarChoice) {
  struct Case {
    forms::BorderStyle border;
    bool inTaskbar;
    LONG_PTR styleSet;
    LONG_PTR styleClear;
  };
  const Case cases[] = {
      {forms::BorderStyle::None, false, WS_POPUP, WS_CAPTION | WS_THICKFRAME},
      {forms::BorderStyle::FixedSingle, true, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
       WS_THICKFRAME | WS_MAXIMIZEBOX | WS_POPUP},
  };
  for (const Case& c : cases) {
    MAKE_WINDOW_OR_SKIP(window, forms::WindowStyle{c.border, c.inTaskbar, false});
    const LONG_PTR style = GetWindowLongPtrW(Hwnd(*window), GWL_STYLE);
    EXPECT_EQ(style & c.styleSet, c.styleSet);
    EXPECT_EQ(style & c.styleClear, 0);
    EXPECT_FALSE(IsWindowVisible(Hwnd(*window)));  // made hidden
    const bool owned = GetWindow(Hwnd(*window), GW_OWNER) != nullptr;
    const bool tool = (GetWindowLongPtrW(Hwnd(*window), GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0;
    EXPECT_EQ(owned || tool, !c.inTaskbar);
  }
}

TEST_F(WindowTest, KeepingAboveOthersAsksForTheTopmostBand) {
  MAKE_WINDOW_OR_SKIP(window, forms::WindowStyle{forms::BorderStyle::None, false, true});
  window->KeepAboveOthers();
  // HWND_TOPMOST with SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE, and no SWP_NOZORDER.
  EXPECT_THAT(calls_.calls,
              ::testing::ElementsAre("SetWindowPos(" + Text(*window) + ", -1, 0, 0, 0, 0, 19)"));
}

TEST_F(WindowTest, EmbeddingMakesAChildThatFillsTheHostThenItsOwnerIsActivated) {
  MAKE_WINDOW_OR_SKIP(host, forms::WindowStyle{forms::BorderStyle::None, false, false});
  MAKE_WINDOW_OR_SKIP(preview, forms::WindowStyle{forms::BorderStyle::None, false, false});
  host->SetBounds({0, 0, 320, 240});
  calls_.style = static_cast<LONG>(WS_POPUP | WS_VISIBLE);
  calls_.owner = reinterpret_cast<HWND>(777);
  preview->EmbedIn(host->Id());
  backend_.ActivateOwnerOf(host->Id());
  const std::string p = Text(*preview);
  const std::string h = Text(*host);
  EXPECT_THAT(calls_.calls,
              ::testing::ElementsAre(
                  "GetWindowLongA(" + p + ", -16)",
                  "SetWindowLongA(" + p + ", -16, 1342177280)",  // child, visible
                  "SetParent(" + p + ", " + h + ")", "SetWindowPos(" + p + ", 0, 0, 0, 0, 0, 5)",
                  "SetWindowPos(" + p + ", 0, 0, 0, 320, 240, 20)", "GetWindow(" + h + ", 4)",
                  "SetActiveWindow(777)"));
}

TEST_F(WindowTest, CaptionIsUnicode) {
  const std::string caption = "MAIN -+- Velloway \xe6\x97\xa5\xe6\x9c\xac";
  MAKE_WINDOW_OR_SKIP(window, forms::WindowStyle{}, caption);
  wchar_t text[64] = {};
  GetWindowTextW(Hwnd(*window), text, 64);
  EXPECT_EQ(std::wstring(text), Utf8ToWide(caption));
  window->SetCaption("\xc3\xa9t\xc3\xa9");
  GetWindowTextW(Hwnd(*window), text, 64);
  EXPECT_EQ(std::wstring(text), L"\u00e9t\u00e9");
}

TEST_F(WindowTest, InputReachesTheEvents) {
  MAKE_WINDOW_OR_SKIP(window, forms::WindowStyle{});
  const struct {
    UINT message;
    WPARAM wParam;
    LRESULT handled;
  } buttons[] = {{WM_LBUTTONDOWN, 0, 0},
                 {WM_LBUTTONUP, 0, 0},
                 {WM_RBUTTONUP, 0, 0},
                 {WM_MBUTTONDOWN, 0, 0},
                 {WM_XBUTTONDOWN, MAKEWPARAM(0, XBUTTON1), TRUE},
                 {WM_XBUTTONUP, MAKEWPARAM(0, XBUTTON2), TRUE}};
  for (const auto& b : buttons) {
    EXPECT_EQ(SendMessageW(Hwnd(*window), b.message, b.wParam, MAKELPARAM(12, -34)), b.handled);
  }
  EXPECT_THAT(events_.buttons,
              ::testing::ElementsAre("down 0 12,-34", "up 0 12,-34", "up 1 12,-34", "down 2 12,-34",
                                     "down 3 12,-34", "up 4 12,-34"));
  EXPECT_EQ(SendMessageW(Hwnd(*window), WM_ERASEBKGND, 0, 0), 1);
}

TEST_F(WindowTest, EveryKeyGoingDownReachesTheEventsAndNoneGoesOnToTheSystem) {
  MAKE_WINDOW_OR_SKIP(window, forms::WindowStyle{forms::BorderStyle::None, false, true});
  constexpr LPARAM kAltHeld = LPARAM{1} << 29;
  const struct {
    const char* what;
    UINT message;
    WPARAM key;
    LPARAM context;
  } keys[] = {{"A", WM_KEYDOWN, 'A', 0},
              {"Shift", WM_KEYDOWN, VK_SHIFT, 0},
              {"Control", WM_KEYDOWN, VK_CONTROL, 0},
              {"Windows", WM_KEYDOWN, VK_LWIN, 0},
              {"F1", WM_KEYDOWN, VK_F1, 0},
              {"Left", WM_KEYDOWN, VK_LEFT, 0},
              {"Volume Up", WM_KEYDOWN, VK_VOLUME_UP, 0},
              {"Alt", WM_SYSKEYDOWN, VK_MENU, kAltHeld},
              {"F10", WM_SYSKEYDOWN, VK_F10, 0},
              {"Alt+F4", WM_SYSKEYDOWN, VK_F4, kAltHeld}};
  int sent = 0;
  for (const auto& k : keys) {
    EXPECT_EQ(SendMessageW(Hwnd(*window), k.message, k.key, k.context | 1), 0) << k.what;
    EXPECT_EQ(events_.keysDown, ++sent) << k.what;
  }
  // Alt+F4 handed on to the system would have closed the window.
  backend_.DoEvents();
  EXPECT_EQ(events_.destroyed, 0);
  EXPECT_TRUE(IsWindow(Hwnd(*window)));
}

TEST_F(WindowTest, InvisiblePointerOnlyOverTheClientArea) {
  MAKE_WINDOW_OR_SKIP(hidden, forms::WindowStyle{forms::BorderStyle::None, false, true});
  MAKE_WINDOW_OR_SKIP(shown, forms::WindowStyle{forms::BorderStyle::None, false, false});
  const LPARAM overClient = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);
  EXPECT_EQ(SendMessageW(Hwnd(*hidden), WM_SETCURSOR, reinterpret_cast<WPARAM>(Hwnd(*hidden)),
                         overClient),
            TRUE);
  const HCURSOR blank = GetCursor();
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(blank, &info));
  const UniqueBitmap mask(info.hbmMask);
  const UniqueBitmap colour(info.hbmColor);
  EXPECT_EQ(info.xHotspot, 0u);
  EXPECT_EQ(info.yHotspot, 0u);
  SendMessageW(Hwnd(*shown), WM_SETCURSOR, reinterpret_cast<WPARAM>(Hwnd(*shown)), overClient);
  EXPECT_NE(GetCursor(), blank);
}

TEST_F(WindowTest, PaintsJustTheInvalidatedRectangles) {
  MAKE_WINDOW_OR_SKIP(window, forms::WindowStyle{forms::BorderStyle::None, false, false});
  window->SetBounds({0, 0, 300, 200});
  window->Show();
  ASSERT_TRUE(PumpUntil([&] { return !events_.painted.empty(); }));
  UpdateWindow(Hwnd(*window));
  backend_.DoEvents();
  events_.painted.clear();
  window->Invalidate({10, 10, 30, 20});
  window->Invalidate({200, 150, 260, 190});
  UpdateWindow(Hwnd(*window));
  EXPECT_THAT(events_.painted, ::testing::UnorderedElementsAre(PixelRect{10, 10, 30, 20},
                                                               PixelRect{200, 150, 260, 190}));
}

TEST_F(WindowTest, DestructionBySystemIsReportedOnce) {
  MAKE_WINDOW_OR_SKIP(window, forms::WindowStyle{});
  EXPECT_EQ(backend_.OpenWindowCount(), 1);
  DestroyWindow(Hwnd(*window));
  EXPECT_EQ(events_.destroyed, 1);
  EXPECT_EQ(window->Id(), 0);
  EXPECT_EQ(backend_.OpenWindowCount(), 0);
  window.reset();
  EXPECT_EQ(events_.destroyed, 1);
}

TEST_F(WindowTest, OurOwnDestructionIsNotReported) {
  MAKE_WINDOW_OR_SKIP(window, forms::WindowStyle{});
  const HWND handle = Hwnd(*window);
  window.reset();
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_EQ(events_.destroyed, 0);
}

TEST_F(WindowTest, TheMessageLoopEndsWithTheLastWindow) {
  MAKE_WINDOW_OR_SKIP(first, forms::WindowStyle{});
  MAKE_WINDOW_OR_SKIP(second, forms::WindowStyle{forms::BorderStyle::None, false, false});
  PostMessageW(Hwnd(*first), WM_CLOSE, 0, 0);  // closed from its system menu: gone by itself
  // The second window goes from inside a handler; the loop sees it afterwards.
  const auto timer = backend_.CreateTimer([&] { second.reset(); });
  timer->Run(20);
  EXPECT_EQ(backend_.RunMessageLoop(), 0);
  EXPECT_EQ(events_.destroyed, 1);
  EXPECT_EQ(backend_.OpenWindowCount(), 0);
}

TEST_F(WindowTest, NoWindowNoLoop) {
  EXPECT_EQ(backend_.RunMessageLoop(), 0);
}

// Refuses every window this thread would make while it lives, as a system short of resources does.
class RefuseNewWindows {
 public:
  RefuseNewWindows() : hook_(SetWindowsHookExW(WH_CBT, &Refuse, nullptr, GetCurrentThreadId())) {}
  ~RefuseNewWindows() {
    if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
  }
  RefuseNewWindows(const RefuseNewWindows&) = delete;
  RefuseNewWindows& operator=(const RefuseNewWindows&) = delete;

 private:
  static LRESULT CALLBACK Refuse(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) return 1;
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  HHOOK hook_;
};

TEST_F(WindowTest, AWindowTheSystemRefusesIsNoneAndTheProgramEndsWithAFailureStatus) {
  {
    const RefuseNewWindows refusal;
    EXPECT_EQ(Make(forms::WindowStyle{}), nullptr);
  }
  EXPECT_EQ(backend_.OpenWindowCount(), 0);
  EXPECT_EQ(backend_.RunMessageLoop(), 1);
}

TEST_F(WindowTest, TimersTickThroughTheMessageLoopUntilStopped) {
  int ticks = 0;
  const auto timer = backend_.CreateTimer([&] { ++ticks; });
  timer->Run(10);
  if (!PumpUntil([&] { return ticks >= 3; })) GTEST_SKIP() << "no timer window here";
  timer->Run(0);
  const int stopped = ticks;
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  backend_.DoEvents();
  EXPECT_EQ(ticks, stopped);
}

TEST_F(WindowTest, DoEventsReturnsWhenATickOutlastsItsInterval) {
  int ticks = 0;
  const auto timer = backend_.CreateTimer([&] {
    ++ticks;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  });
  timer->Run(10);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  backend_.DoEvents();
  if (ticks == 0) GTEST_SKIP() << "no timer window here";
  EXPECT_EQ(ticks, 1);
}

// Ticks are due at fixed times from Run; the system may ring a timer up to one clock period
// (15.6 ms on Windows) before the time asked for.
constexpr auto kClockSlack = std::chrono::milliseconds(16);

class TickTimes {
 public:
  void Record() { times_.push_back(std::chrono::steady_clock::now()); }
  std::size_t Count() const { return times_.size(); }
  // The time from `since` to tick `n` (numbered from 1).
  std::chrono::steady_clock::duration At(std::size_t n,
                                         std::chrono::steady_clock::time_point since) const {
    return times_.at(n - 1) - since;
  }
  std::chrono::steady_clock::time_point Time(std::size_t n) const { return times_.at(n - 1); }

 private:
  std::vector<std::chrono::steady_clock::time_point> times_;
};

TEST_F(WindowTest, TicksNeverRunAheadOfTheirSchedule) {
  using std::chrono::milliseconds;
  TickTimes ticks;
  const auto timer = backend_.CreateTimer([&] { ticks.Record(); });
  const auto start = std::chrono::steady_clock::now();
  timer->Run(20);
  if (!PumpUntil([&] { return ticks.Count() >= 10; }, std::chrono::seconds(5))) {
    GTEST_SKIP() << "no timer window here";
  }
  // However late one tick is, none comes before its time: n ticks take at least n intervals.
  for (std::size_t n = 1; n <= 10; ++n) {
    SCOPED_TRACE(n);
    EXPECT_GE(ticks.At(n, start), milliseconds(20 * static_cast<int>(n)) - kClockSlack);
  }
}

TEST_F(WindowTest, AStalledTickIsFollowedByOneTickAtOnceNotABurst) {
  using std::chrono::milliseconds;
  constexpr int kInterval = 100;
  TickTimes ticks;
  const auto timer = backend_.CreateTimer([&] {
    ticks.Record();
    // The first tick holds the thread for more than five intervals.
    if (ticks.Count() == 1) std::this_thread::sleep_for(milliseconds(5 * kInterval + 50));
  });
  timer->Run(kInterval);
  if (!PumpUntil([&] { return ticks.Count() >= 6; }, std::chrono::seconds(5))) {
    GTEST_SKIP() << "no timer window here";
  }
  // Tick 2 comes when the stall ends and tick 3 may follow at once; then the ticks are an
  // interval apart again, counted from tick 2, rather than making up the missed ones in a burst.
  EXPECT_GE(ticks.Time(6) - ticks.Time(2), milliseconds(3 * kInterval) - kClockSlack);
}

TEST_F(WindowTest, RunWithANewIntervalRestartsTheScheduleFromNow) {
  using std::chrono::milliseconds;
  TickTimes ticks;
  const auto timer = backend_.CreateTimer([&] { ticks.Record(); });
  timer->Run(10);
  if (!PumpUntil([&] { return ticks.Count() >= 3; })) GTEST_SKIP() << "no timer window here";
  const auto restart = std::chrono::steady_clock::now();
  timer->Run(150);
  const std::size_t before = ticks.Count();
  ASSERT_TRUE(PumpUntil([&] { return ticks.Count() > before; }, std::chrono::seconds(5)));
  EXPECT_GE(ticks.At(before + 1, restart), milliseconds(150) - kClockSlack);
}

TEST_F(WindowTest, ATimerMayDestroyItselfInItsTick) {
  int ticks = 0;
  std::unique_ptr<forms::TimerDriver> timer;
  timer = backend_.CreateTimer([&] {
    ++ticks;
    timer.reset();
  });
  timer->Run(10);
  if (!PumpUntil([&] { return ticks > 0; })) GTEST_SKIP() << "no timer window here";
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  backend_.DoEvents();
  EXPECT_EQ(ticks, 1);
}

}  // namespace
}  // namespace velloway::win32
