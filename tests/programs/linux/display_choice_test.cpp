// Which display system velloway shows on: what the command line forces, what keeps X11, and
// otherwise whether a Wayland compositor answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "programs/linux/display_choice.h"

namespace velloway::linux {
namespace {

TEST(DisplayChoice, WaylandWhenACompositorAnswersAndNothingAsksForX11) {
  const struct {
    std::vector<std::string> args;
    bool daemonWindow;
    bool compositor;
    DisplaySystem display;
    bool looked;  // whether a compositor was looked for
  } cases[] = {
      {{}, false, true, DisplaySystem::Wayland, true},
      {{}, false, false, DisplaySystem::X11, true},
      {{"--smooth", "--every-monitor"}, false, true, DisplaySystem::Wayland, true},
      {{"--window"}, false, true, DisplaySystem::Wayland, true},
      {{"--window", "--watch"}, false, false, DisplaySystem::X11, true},
      // The screen-saver daemon's ways stay on X11, so that its users see no change.
      {{"--root"}, false, true, DisplaySystem::X11, false},
      {{"--window-id", "0x50d"}, false, true, DisplaySystem::X11, false},
      {{}, true, true, DisplaySystem::X11, false},
      // Forced either way.
      {{"--x11"}, false, true, DisplaySystem::X11, false},
      {{"--x11", "--window"}, false, true, DisplaySystem::X11, false},
      {{"--wayland"}, false, false, DisplaySystem::Wayland, false},
      {{"--wayland"}, true, true, DisplaySystem::Wayland, false},
      // An output is Wayland's: a compositor that does not answer is said so.
      {{"--output", "HEADLESS-2"}, false, false, DisplaySystem::Wayland, false},
  };
  for (const auto& c : cases) {
    const ParsedLaunch parsed = ParseLaunchOptions(c.args);
    ASSERT_TRUE(parsed.Options) << parsed.Error;
    bool looked = false;
    const DisplaySystem display = ChooseDisplay(*parsed.Options, c.daemonWindow, [&] {
      looked = true;
      return c.compositor;
    });
    std::string args;
    for (const std::string& arg : c.args) args += arg + " ";
    EXPECT_EQ(display, c.display) << args << "daemon window " << c.daemonWindow;
    EXPECT_EQ(looked, c.looked) << args << "daemon window " << c.daemonWindow;
  }
}

}  // namespace
}  // namespace velloway::linux
