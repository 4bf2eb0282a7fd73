#include "platform/posix/mutter_idle.h"

#include <gio/gio.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include "platform/posix/glib_owners.h"

namespace velloway::posix {
namespace {

using Connection = std::unique_ptr<GDBusConnection, GObjectDeleter>;
using Error = std::unique_ptr<GError, GErrorDeleter>;
using Variant = std::unique_ptr<GVariant, GVariantDeleter>;

// A call that waits longer is a monitor that stopped answering.
constexpr int kCallTimeoutMs = 2000;
// GNOME's session manager: what a program holding off idleness holds off.
constexpr unsigned kInhibitIdle = 8;

// The session bus's address as the session gives it; empty when it gives none.
std::string SessionBusAddress() {
  if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS")) return address;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime == nullptr) return {};
  const std::filesystem::path bus = std::filesystem::path(runtime) / "bus";
  std::error_code error;
  if (!std::filesystem::exists(bus, error)) return {};
  return "unix:path=" + bus.string();
}

class GnomeIdleMonitor final : public IdleSource {
 public:
  GnomeIdleMonitor(Connection bus, std::chrono::milliseconds wait)
      : wait_(wait), bus_(std::move(bus)) {}

  std::string_view Name() const override { return "org.gnome.Mutter.IdleMonitor"; }

  // Mutter's idle time, as "(t)" in milliseconds; nothing when the monitor does not answer.
  Variant AskIdleTime(Error& error) {
    return Call("org.gnome.Mutter.IdleMonitor", "/org/gnome/Mutter/IdleMonitor/Core",
                "org.gnome.Mutter.IdleMonitor", "GetIdletime", nullptr, "(t)", error);
  }

  std::optional<std::chrono::milliseconds> IdleTime() override {
    Error error;
    const Variant reply = AskIdleTime(error);
    if (!reply) {
      throw IdleSourceLost(std::string("GNOME's idle monitor stopped answering (") +
                           (error ? error->message : "no answer") + ")");
    }
    guint64 idle = 0;
    g_variant_get(reply.get(), "(t)", &idle);
    const std::chrono::milliseconds idleTime(static_cast<std::int64_t>(idle));
    if (idleTime >= wait_ && Inhibited()) return std::chrono::milliseconds(0);
    return idleTime;
  }

  // Asked each time: nothing to forget.
  void Renew() override {}
  // Asked only: the bus's own thread reads it.
  int Fd() const override { return -1; }
  bool ReadyToWait() override { return true; }
  void AfterWait(short) override {}

 private:
  Variant Call(const char* name, const char* path, const char* interface, const char* method,
               GVariant* parameters, const char* replyType, Error& error) {
    GError* failure = nullptr;
    // A GVariantType is its type string (GLib's own G_VARIANT_TYPE casts so).
    Variant reply(g_dbus_connection_call_sync(bus_.get(), name, path, interface, method, parameters,
                                              reinterpret_cast<const GVariantType*>(replyType),
                                              G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs,
                                              nullptr, &failure));
    error.reset(failure);
    return reply;
  }

  // Where no session manager answers, nothing holds off idleness.
  bool Inhibited() {
    Error error;
    const Variant reply =
        Call("org.gnome.SessionManager", "/org/gnome/SessionManager", "org.gnome.SessionManager",
             "IsInhibited", g_variant_new("(u)", kInhibitIdle), "(b)", error);
    gboolean inhibited = FALSE;
    if (reply) g_variant_get(reply.get(), "(b)", &inhibited);
    return inhibited != FALSE;
  }

  std::chrono::milliseconds wait_;
  Connection bus_;
};

}  // namespace

IdleOffer OfferGnomeIdleMonitor(std::chrono::milliseconds wait) {
  const std::string address = SessionBusAddress();
  if (address.empty()) return {};
  GError* failure = nullptr;
  Connection bus(g_dbus_connection_new_for_address_sync(
      address.c_str(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, &failure));
  const Error error(failure);
  if (!bus) return {};
  auto monitor = std::make_unique<GnomeIdleMonitor>(std::move(bus), wait);
  Error unanswered;
  if (!monitor->AskIdleTime(unanswered)) return {true, nullptr};
  return {true, std::move(monitor)};
}

}  // namespace velloway::posix
