#include "platform/wayland/wayland_idle.h"

#include <poll.h>
#include <wayland-client.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "ext-idle-notify-v1-client-protocol.h"
#include "idle-client-protocol.h"

namespace velloway::wayland {
namespace {

template <typename T, void (*Destroy)(T*)>
struct ProxyDeleter {
  void operator()(T* proxy) const { Destroy(proxy); }
};
// One owner for each Wayland object: the request that destroys it goes with it.
template <typename T, void (*Destroy)(T*)>
using Owned = std::unique_ptr<T, ProxyDeleter<T, Destroy>>;

using OwnedDisplay = Owned<wl_display, wl_display_disconnect>;

class CompositorIdle final : public posix::IdleSource {
 public:
  CompositorIdle(OwnedDisplay display, std::chrono::milliseconds wait)
      : wait_(wait), display_(std::move(display)) {
    registry_.reset(wl_display_get_registry(display_.get()));
    wl_registry_add_listener(registry_.get(), &kRegistryListener, this);
    if (wl_display_roundtrip(display_.get()) < 0) Lost();
    if (seat_ != nullptr && (notifier_ || kdeIdle_)) Ask();
  }

  // Whether the compositor tells idleness at all.
  bool Tells() const { return notification_ || kdeTimeout_; }

  std::string_view Name() const override {
    return notification_ ? ext_idle_notifier_v1_interface.name : org_kde_kwin_idle_interface.name;
  }

  // Made afresh: sway 1.7 ignores activity while a program holds an inhibitor, so a notification
  // that was idle before would never say it resumed.
  void Renew() override {
    notification_.reset();
    kdeTimeout_.reset();
    idle_ = false;
    Ask();
  }

  std::optional<std::chrono::milliseconds> IdleTime() override {
    if (!idle_) return std::nullopt;
    return wait_;
  }

  int Fd() const override { return wl_display_get_fd(display_.get()); }

  bool ReadyToWait() override {
    if (wl_display_prepare_read(display_.get()) != 0) {
      if (wl_display_dispatch_pending(display_.get()) < 0) Lost();
      return false;
    }
    if (wl_display_flush(display_.get()) < 0 && errno != EAGAIN) {
      wl_display_cancel_read(display_.get());
      Lost();
    }
    return true;
  }

  void AfterWait(short revents) override {
    if ((revents & POLLIN) != 0) {
      if (wl_display_read_events(display_.get()) < 0) Lost();
    } else {
      wl_display_cancel_read(display_.get());
      if ((revents & (POLLERR | POLLHUP)) != 0) Lost();
    }
    if (wl_display_dispatch_pending(display_.get()) < 0) Lost();
  }

 private:
  // To be told once the desktop has been idle the time asked, from now.
  void Ask() {
    const auto timeout = static_cast<std::uint32_t>(wait_.count());
    if (notifier_) {
      notification_.reset(
          ext_idle_notifier_v1_get_idle_notification(notifier_.get(), timeout, seat_.get()));
      ext_idle_notification_v1_add_listener(notification_.get(), &kNotificationListener, this);
    } else {
      kdeTimeout_.reset(org_kde_kwin_idle_get_idle_timeout(kdeIdle_.get(), seat_.get(), timeout));
      org_kde_kwin_idle_timeout_add_listener(kdeTimeout_.get(), &kKdeTimeoutListener, this);
    }
  }

  [[noreturn]] void Lost() const {
    const int error = wl_display_get_error(display_.get());
    throw posix::IdleSourceLost("the Wayland compositor is gone (" +
                                std::string(std::strerror(error != 0 ? error : EPIPE)) + ")");
  }

  static void OnGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t) {
    auto& self = *static_cast<CompositorIdle*>(data);
    const auto bind = [&](const wl_interface& wanted) {
      return wl_registry_bind(registry, name, &wanted, 1);
    };
    // The first seat: a desktop session has one.
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self.seat_) {
      self.seat_.reset(static_cast<wl_seat*>(bind(wl_seat_interface)));
    } else if (std::strcmp(interface, ext_idle_notifier_v1_interface.name) == 0) {
      self.notifier_.reset(
          static_cast<ext_idle_notifier_v1*>(bind(ext_idle_notifier_v1_interface)));
    } else if (std::strcmp(interface, org_kde_kwin_idle_interface.name) == 0) {
      self.kdeIdle_.reset(static_cast<org_kde_kwin_idle*>(bind(org_kde_kwin_idle_interface)));
    }
  }
  static void OnGlobalRemove(void*, wl_registry*, std::uint32_t) {}
  static void OnIdled(void* data, ext_idle_notification_v1*) {
    static_cast<CompositorIdle*>(data)->idle_ = true;
  }
  static void OnResumed(void* data, ext_idle_notification_v1*) {
    static_cast<CompositorIdle*>(data)->idle_ = false;
  }
  static void OnKdeIdle(void* data, org_kde_kwin_idle_timeout*) {
    static_cast<CompositorIdle*>(data)->idle_ = true;
  }
  static void OnKdeResumed(void* data, org_kde_kwin_idle_timeout*) {
    static_cast<CompositorIdle*>(data)->idle_ = false;
  }

  static constexpr wl_registry_listener kRegistryListener{OnGlobal, OnGlobalRemove};
  static constexpr ext_idle_notification_v1_listener kNotificationListener{OnIdled, OnResumed};
  static constexpr org_kde_kwin_idle_timeout_listener kKdeTimeoutListener{OnKdeIdle, OnKdeResumed};

  std::chrono::milliseconds wait_;
  bool idle_ = false;
  // Destroyed in reverse order: the objects before the connection that carries them.
  OwnedDisplay display_;
  Owned<wl_registry, wl_registry_destroy> registry_;
  Owned<wl_seat, wl_seat_destroy> seat_;
  Owned<ext_idle_notifier_v1, ext_idle_notifier_v1_destroy> notifier_;
  Owned<org_kde_kwin_idle, org_kde_kwin_idle_destroy> kdeIdle_;
  Owned<ext_idle_notification_v1, ext_idle_notification_v1_destroy> notification_;
  Owned<org_kde_kwin_idle_timeout, org_kde_kwin_idle_timeout_release> kdeTimeout_;
};

}  // namespace

posix::IdleOffer OfferCompositorIdle(std::chrono::milliseconds wait) {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  if (name == nullptr || *name == '\0') return {};
  OwnedDisplay display(wl_display_connect(nullptr));
  if (!display) return {};
  auto source = std::make_unique<CompositorIdle>(std::move(display), wait);
  if (!source->Tells()) return {true, nullptr};
  return {true, std::move(source)};
}

}  // namespace velloway::wayland
