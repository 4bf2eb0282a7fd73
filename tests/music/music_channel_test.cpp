#include "music/music_channel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "music/fake_mci.h"
#include "platform/headless/headless_backend.h"

namespace velloway {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using State = testing::FakeMci::State;

const std::string kBlanks = "512 blanks, 512, 0)";
const std::string kOpenTheme =
    R"(mciSendStringA("open "C:\Velloway\theme.wav" alias bgm", )" + kBlanks;
const std::string kPlay = R"(mciSendStringA("play bgm notify", )" + kBlanks;
const std::string kStatus = R"(mciSendStringA("status bgm mode", )" + kBlanks;
const std::string kStop = R"(mciExecute("stop bgm"))";
const std::string kClose = R"(mciExecute("close bgm"))";
const std::string kEvents = "DoEvents()";

// A BGM record's line.
std::string Bgm(const std::string& onOff, const std::string& file = "theme.wav") {
  return "BGM\t" + onOff + "\t" + file;
}

class MusicTest : public ::testing::Test {
 protected:
  MusicTest() {
    backend.SetAppPath("C:\\Velloway");
    backend.Recorder().SetMciResponder(std::ref(mci));
  }
  std::vector<std::string> Calls() { return backend.Recorder().Calls(); }

  headless::HeadlessBackend backend;
  forms::Application app{backend};
  testing::FakeMci mci;
  MusicChannel music{backend.Api(), app};
};

TEST_F(MusicTest, OnOffAndStopInEveryState) {
  const std::string kOpenUnplayable =
      R"(mciSendStringA("open "C:\Velloway\unplayable.wav" alias bgm", )" + kBlanks;
  const std::string kOpenMissing =
      R"(mciSendStringA("open "C:\Velloway\missing.wav" alias bgm", )" + kBlanks;
  const struct {
    const char* what;
    State before;
    std::string record;  // empty: StopMusic instead of a record
    std::vector<std::string> calls;
    State after;
  } cases[] = {
      {"ON while closed",
       State::Closed,
       Bgm("ON"),
       {kOpenTheme, kEvents, kPlay, kEvents},
       State::Playing},
      {"ON, play fails",
       State::Closed,
       Bgm("ON", "unplayable.wav"),
       {kOpenUnplayable, kEvents, kPlay, kClose, kEvents, kEvents},
       State::Closed},
      {"ON, open fails", State::Closed, Bgm("ON", "missing.wav"), {kOpenMissing}, State::Closed},
      {"ON while playing", State::Playing, Bgm("ON"), {kOpenTheme}, State::Playing},
      {"ON after the piece finished", State::Finished, Bgm("ON"), {kOpenTheme}, State::Finished},
      {"OFF while closed",
       State::Closed,
       Bgm("OFF"),
       {kStop, kEvents, kClose, kEvents},
       State::Closed},
      {"OFF while playing",
       State::Playing,
       Bgm("OFF"),
       {kStop, kEvents, kClose, kEvents},
       State::Closed},
      {"OFF after the piece finished",
       State::Finished,
       Bgm("OFF"),
       {kStop, kEvents, kClose, kEvents},
       State::Closed},
      {"another switch", State::Playing, Bgm("PAUSE"), {}, State::Playing},
      {"an empty switch", State::Closed, Bgm(""), {}, State::Closed},
      {"StopMusic while playing", State::Playing, "", {kStatus, kStop, kClose}, State::Closed},
      {"StopMusic after the piece finished", State::Finished, "", {kStatus}, State::Finished},
      {"StopMusic while closed", State::Closed, "", {kStatus}, State::Closed},
  };
  for (const auto& c : cases) {
    mci.state = c.before;
    mci.openedPath = "C:\\Velloway\\theme.wav";
    backend.Recorder().ClearCalls();
    if (c.record.empty()) {
      music.StopMusic();
    } else {
      music.HandleBgmRecord(RollRecord(c.record));
    }
    EXPECT_THAT(Calls(), ElementsAreArray(c.calls)) << c.what;
    EXPECT_EQ(mci.state, c.after) << c.what;
  }
}

TEST_F(MusicTest, SwitchesMatchInAnyLetterCase) {
  for (const char* on : {"ON", "on", "On", "oN"}) {
    mci.state = State::Closed;
    music.HandleBgmRecord(RollRecord(Bgm(on)));
    EXPECT_EQ(mci.state, State::Playing) << on;
  }
  for (const char* off : {"OFF", "off", "Off"}) {
    mci.state = State::Playing;
    music.HandleBgmRecord(RollRecord(Bgm(off)));
    EXPECT_EQ(mci.state, State::Closed) << off;
  }
  for (const char* other : {" ON", "ON ", "0N", "ONN", "\xEF\xBC\xAF\xEF\xBC\xAE"}) {
    backend.Recorder().ClearCalls();
    music.HandleBgmRecord(RollRecord(Bgm(other)));
    EXPECT_THAT(Calls(), ElementsAre()) << other;
  }
}

TEST_F(MusicTest, FullPathsOpenUnchangedOthersJoinTheProgramDirectory) {
  const struct {
    const char* file;
    const char* path;  // empty: a network location, which is not opened at all
  } cases[] = {
      {"D:\\Music\\theme.wav", "D:\\Music\\theme.wav"},
      {"snd\\theme.mid", "C:\\Velloway\\snd\\theme.mid"},
      {"\\\\server\\share\\theme.wav", "C:\\Velloway\\\\\\server\\share\\theme.wav"},
      {"My Theme (final).wav", "C:\\Velloway\\My Theme (final).wav"},
      {"x:\\", "x:\\"},
      {"C:/Music/theme.wav", "C:\\Velloway\\C:/Music/theme.wav"},
      {"\\\\?\\C:\\Music\\theme.wav", "\\\\?\\C:\\Music\\theme.wav"},
      {"//./d:\\theme.wav", "//./d:\\theme.wav"},
      {"\\\\host\\share\\x:\\y.wav", ""},
      {"\\\\?\\UNC\\host\\share\\x:\\y.wav", ""},
      {"//host/share/y:\\z.wav", ""},
      {"\\/host\\y:\\z.wav", ""},
      {"\\\\.\\pipe\\x:\\y", ""},
      {"\\\\?\\Volume{0}\\x:\\y.wav", ""},
  };
  for (const auto& c : cases) {
    mci.state = State::Closed;
    mci.openedPath.clear();
    backend.Recorder().ClearCalls();
    music.HandleBgmRecord(RollRecord(Bgm("ON", c.file)));
    EXPECT_EQ(mci.openedPath, c.path) << c.file;
    if (std::string(c.path).empty()) {
      EXPECT_THAT(Calls(), ElementsAre()) << c.file;
    }
  }
}

TEST_F(MusicTest, StopMusicNeedsExactlyPlayingInTheReply) {
  const struct {
    const char* reply;
    int result;
    bool stops;
  } cases[] = {{"playing", 0, true}, {"playing\0x", 0, true}, {"Playing", 0, false},
               {"paused", 0, false}, {"playin", 0, false},    {"playing", 263, false}};
  for (const auto& c : cases) {
    backend.Recorder().SetMciResponder([&](std::string_view command, std::string& reply) {
      if (command == "status bgm mode") reply.replace(0, std::string(c.reply).size(), c.reply);
      return command == "status bgm mode" ? c.result : 0;
    });
    backend.Recorder().ClearCalls();
    music.StopMusic();
    EXPECT_EQ(Calls().size(), c.stops ? 3u : 1u) << c.reply << " " << c.result;
  }
}

}  // namespace
}  // namespace velloway
