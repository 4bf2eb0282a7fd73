#include "music/music_channel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/headless/headless_backend.h"
#include "script/script_loader.h"

namespace velloway {
namespace {

using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using State = headless::HeadlessMusic::State;

const std::string kTheme = "C:\\Velloway\\theme.wav";
const std::string kUnplayable = "C:\\Velloway\\unplayable.wav";

// A BGM record's line.
std::string Bgm(const std::string& onOff, const std::string& file = "theme.wav") {
  return "BGM\t" + onOff + "\t" + file;
}

class MusicTest : public ::testing::Test {
 protected:
  MusicTest() {
    backend.SetScriptFolder("C:\\Velloway");
    Device().MarkMissing("C:\\Velloway\\missing.wav");
    Device().MarkUnplayable(kUnplayable);
    // What the device is each time the program processes its waiting events.
    backend.ObserveEvents([this] { seen.push_back(Describe()); });
  }
  headless::HeadlessMusic& Device() { return backend.Music(); }
  // "closed", "playing PATH" or "finished PATH".
  std::string Describe() {
    switch (Device().Now()) {
      case State::Closed:
        return "closed";
      case State::Playing:
        return "playing " + Device().OpenedPath();
      case State::Finished:
        return "finished " + Device().OpenedPath();
    }
    return {};
  }
  // Hands the record of a one-line script to the music, as the roll does.
  void Handle(const std::string& record) {
    const LoadedScript script = ParseScript(record);
    music.HandleBgmRecord(script.Record(1));
  }
  // The device in `state`, with theme.wav unless closed.
  void Put(State state) {
    Device().Close();
    if (state == State::Closed) return;
    Device().Open(kTheme);
    Device().Play();
    if (state == State::Finished) Device().FinishPiece();
  }

  headless::HeadlessBackend backend;
  MusicChannel music{backend.Music(), backend, backend};
  std::vector<std::string> seen;
};

TEST_F(MusicTest, OnOffAndStopInEveryState) {
  const std::string playing = "playing " + kTheme;
  const std::string finished = "finished " + kTheme;
  const struct {
    const char* what;
    State before;
    std::string record;  // empty: StopMusic instead of a record
    std::vector<std::string> seenByEvents;
    std::string after;
  } cases[] = {
      {"ON while closed", State::Closed, Bgm("ON"), {finished, playing}, playing},
      {"ON, play fails",
       State::Closed,
       Bgm("ON", "unplayable.wav"),
       {"finished " + kUnplayable, "closed", "closed"},
       "closed"},
      {"ON, open fails", State::Closed, Bgm("ON", "missing.wav"), {}, "closed"},
      {"ON while playing", State::Playing, Bgm("ON"), {}, playing},
      {"ON after the piece finished", State::Finished, Bgm("ON"), {}, finished},
      {"OFF while closed", State::Closed, Bgm("OFF"), {"closed", "closed"}, "closed"},
      {"OFF while playing", State::Playing, Bgm("OFF"), {finished, "closed"}, "closed"},
      {"OFF after the piece finished", State::Finished, Bgm("OFF"), {finished, "closed"}, "closed"},
      {"another switch", State::Playing, Bgm("PAUSE"), {}, playing},
      {"an empty switch", State::Closed, Bgm(""), {}, "closed"},
      {"StopMusic while playing", State::Playing, "", {}, "closed"},
      {"StopMusic after the piece finished", State::Finished, "", {}, finished},
      {"StopMusic while closed", State::Closed, "", {}, "closed"},
  };
  for (const auto& c : cases) {
    Put(c.before);
    seen.clear();
    if (c.record.empty()) {
      music.StopMusic();
    } else {
      Handle(c.record);
    }
    EXPECT_THAT(seen, ElementsAreArray(c.seenByEvents)) << c.what;
    EXPECT_EQ(Describe(), c.after) << c.what;
  }
}

TEST_F(MusicTest, SwitchesMatchInAnyLetterCase) {
  for (const char* on : {"ON", "on", "On", "oN"}) {
    Put(State::Closed);
    Handle(Bgm(on));
    EXPECT_EQ(Device().Now(), State::Playing) << on;
  }
  for (const char* off : {"OFF", "off", "Off"}) {
    Put(State::Playing);
    Handle(Bgm(off));
    EXPECT_EQ(Device().Now(), State::Closed) << off;
  }
  for (const char* other : {" ON", "ON ", "0N", "ONN", "\xEF\xBC\xAF\xEF\xBC\xAE"}) {
    seen.clear();
    Handle(Bgm(other));
    EXPECT_THAT(seen, IsEmpty()) << other;
    EXPECT_EQ(Describe(), "closed") << other;
  }
}

TEST_F(MusicTest, FullPathsOpenUnchangedOthersJoinTheScriptFolder) {
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
    Put(State::Closed);
    seen.clear();
    Handle(Bgm("ON", c.file));
    EXPECT_EQ(Device().OpenedPath(), c.path) << c.file;
    if (std::string(c.path).empty()) {
      EXPECT_THAT(seen, IsEmpty()) << c.file;
    }
  }
}

}  // namespace
}  // namespace velloway
