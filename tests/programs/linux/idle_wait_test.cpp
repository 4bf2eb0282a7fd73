// velloway --when-idle's rules: which source tells idleness, and when a roll starts.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "programs/linux/idle_wait.h"

namespace velloway::linux {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

class NamedSource final : public posix::IdleSource {
 public:
  explicit NamedSource(std::string_view name) : name_(name) {}
  std::string_view Name() const override { return name_; }
  std::optional<milliseconds> IdleTime() override { return std::nullopt; }
  void Renew() override {}
  int Fd() const override { return -1; }
  bool ReadyToWait() override { return true; }
  void AfterWait(short) override {}

 private:
  std::string_view name_;
};

// What a session offers, for each way: not reached, reached without a source, or with one.
enum class Offers { Nothing, NoSource, Source };

class OfferedSessions final : public IdleSessions {
 public:
  OfferedSessions(Offers compositor, Offers gnome, Offers server)
      : compositor_(compositor), gnome_(gnome), server_(server) {}
  posix::IdleOffer Compositor() override { return Offer(compositor_, "compositor"); }
  posix::IdleOffer GnomeIdleMonitor() override { return Offer(gnome_, "gnome"); }
  posix::IdleOffer XServer() override { return Offer(server_, "x server"); }

 private:
  static posix::IdleOffer Offer(Offers offers, std::string_view name) {
    if (offers == Offers::Nothing) return {};
    if (offers == Offers::NoSource) return {true, nullptr};
    return {true, std::make_unique<NamedSource>(name)};
  }
  Offers compositor_;
  Offers gnome_;
  Offers server_;
};

TEST(IdleWait, ChoosesTheCompositorThenGnomeAndTheXServerOnlyOutsideWayland) {
  using enum Offers;
  const struct {
    Offers compositor, gnome, server;
    std::string chosen;  // the source's name, or the start of the error
  } cases[] = {
      {Source, Source, Source, "compositor"},
      {Source, Nothing, Nothing, "compositor"},
      {NoSource, Source, Source, "gnome"},
      {Nothing, Source, Source, "gnome"},
      {Nothing, NoSource, Source, "x server"},
      {Nothing, Nothing, Source, "x server"},
      // Xwayland sees only the input of X programs.
      {NoSource, NoSource, Source, "the Wayland compositor tells no idle time"},
      {NoSource, Nothing, Source, "the Wayland compositor tells no idle time"},
      {Nothing, Nothing, NoSource, "the X server tells no idle time"},
      {Nothing, NoSource, Nothing, "no desktop session to wait in"},
      {Nothing, Nothing, Nothing, "no desktop session to wait in"},
  };
  for (const auto& c : cases) {
    OfferedSessions sessions(c.compositor, c.gnome, c.server);
    std::string chosen;
    try {
      chosen = ChooseIdleSource(sessions)->Name();
    } catch (const std::runtime_error& e) {
      chosen = e.what();
    }
    EXPECT_TRUE(chosen.starts_with(c.chosen)) << chosen << ", not " << c.chosen;
  }
}

TEST(IdleWait, StartsOnceIdleTheTimeAskedAndSinceTheLastRollEnded) {
  const milliseconds wait = seconds(300);
  const platform::ClockTime now = seconds(10'000);
  const struct {
    std::optional<platform::ClockTime> rollEnded;
    std::optional<milliseconds> idle;
    bool start;
    std::optional<platform::ClockTime> askAgain;
  } cases[] = {
      {std::nullopt, milliseconds(0), false, now + wait},
      {std::nullopt, seconds(299), false, now + seconds(1)},
      {std::nullopt, seconds(300), true, std::nullopt},
      {std::nullopt, seconds(5000), true, std::nullopt},
      // A source that tells by itself has not said so yet.
      {std::nullopt, std::nullopt, false, std::nullopt},
      // The user ended the roll a minute ago, which the source may not have seen.
      {now - seconds(60), seconds(5000), false, now + seconds(240)},
      {now - seconds(60), seconds(30), false, now + seconds(270)},
      {now - seconds(60), std::nullopt, false, std::nullopt},
      {now - seconds(300), seconds(300), true, std::nullopt},
      {now - seconds(900), seconds(100), false, now + seconds(200)},
  };
  for (const auto& c : cases) {
    IdleSchedule schedule(wait);
    if (c.rollEnded) schedule.RollEnded(*c.rollEnded);
    const IdleSchedule::Next next = schedule.At(now, c.idle);
    EXPECT_EQ(next.Start, c.start);
    EXPECT_EQ(next.AskAgain, c.askAgain);
  }
}

}  // namespace
}  // namespace velloway::linux
