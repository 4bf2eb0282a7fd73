// What the Windows backend's intentions come down to: the exact system calls, in order, recorded
// by RecordingSystemCalls. They pin what only real Windows would show.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "base/program_identity.h"
#include "platform/backend.h"
#include "platform/wide_text.h"
#include "platform/win32/mci_music_device.h"
#include "platform/win32/recording_system_calls.h"
#include "platform/win32/silent_wave.h"
#include "platform/win32/win32_backend.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/window_test_fixture.h"
#include "support/temp_dir.h"

namespace velloway::win32 {
namespace {

// ---- Windows ----

TEST_F(WindowTest, KeepingAboveOthersAsksForTheTopmostBand) {
  MAKE_WINDOW_OR_SKIP(window, platform::WindowStyle{platform::BorderStyle::None, false, true});
  window->KeepAboveOthers();
  // HWND_TOPMOST with SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE, and no SWP_NOZORDER.
  EXPECT_THAT(calls_.calls,
              ::testing::ElementsAre("SetWindowPos(" + Text(*window) + ", -1, 0, 0, 0, 0, 19)"));
}

TEST_F(WindowTest, EmbeddingMakesAChildThatFillsTheHostThenItsOwnerIsActivated) {
  MAKE_WINDOW_OR_SKIP(host, platform::WindowStyle{platform::BorderStyle::None, false, false});
  MAKE_WINDOW_OR_SKIP(preview, platform::WindowStyle{platform::BorderStyle::None, false, false});
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

// ---- The music device ----

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

// ---- Running copies ----

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

}  // namespace
}  // namespace velloway::win32
