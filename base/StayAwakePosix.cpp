#include "base/StayAwakePosix.h"

#include <gio/gio.h>
#include <gio/gunixfdlist.h>
#include <unistd.h>

#include <cstdlib>

#include "base/TextFile.h"
#include "base/TimeDateDBus.h"

namespace base {

namespace {

// A bus that does not answer at once must not hold up the window's Start for long.
constexpr int kCallMs = 1000;

GDBusConnection* Connect(const std::string& address) {
    if (address.empty()) return nullptr;
    return g_dbus_connection_new_for_address_sync(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
}

}  // namespace

std::string SessionBusAddress() {
    const char* env = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (env && *env) return env;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime && FileExists(std::string(runtime) + "/bus")) return "unix:path=" + std::string(runtime) + "/bus";
    return "";
}

TDesktopStayAwake::TDesktopStayAwake(std::string sessionBus, std::string systemBus)
    : sessionBus_(std::move(sessionBus)), systemBus_(std::move(systemBus)) {}

TDesktopStayAwake::~TDesktopStayAwake() { Release(); }

void TDesktopStayAwake::Hold(const std::string& reason) {
    if (held_) return;
    held_ = HoldThroughPortal(reason) || HoldThroughLogind(reason);
}

// org.freedesktop.portal.Inhibit: suspend (4) and idle (8), held while the request lives on this
// connection.
bool TDesktopStayAwake::HoldThroughPortal(const std::string& reason) {
    GDBusConnection* bus = Connect(sessionBus_);
    if (!bus) return false;
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&options, "{sv}", "reason", g_variant_new_string(reason.c_str()));
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop", "org.freedesktop.portal.Inhibit",
        "Inhibit", g_variant_new("(sua{sv})", "", 4u | 8u, &options), G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE,
        kCallMs, nullptr, nullptr);
    if (!reply) {
        g_object_unref(bus);
        return false;
    }
    const gchar* handle = nullptr;
    g_variant_get(reply, "(&o)", &handle);
    request_ = handle;
    g_variant_unref(reply);
    portal_ = bus;
    return true;
}

// org.freedesktop.login1.Manager.Inhibit: sleep and idle, blocking, held while the descriptor is open.
bool TDesktopStayAwake::HoldThroughLogind(const std::string& reason) {
    GDBusConnection* bus = Connect(systemBus_);
    if (!bus) return false;
    GUnixFDList* fds = nullptr;
    GVariant* reply = g_dbus_connection_call_with_unix_fd_list_sync(
        bus, "org.freedesktop.login1", "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "Inhibit",
        g_variant_new("(ssss)", "sleep:idle", "Tempix", reason.c_str(), "block"), G_VARIANT_TYPE("(h)"),
        G_DBUS_CALL_FLAGS_NONE, kCallMs, nullptr, &fds, nullptr, nullptr);
    if (reply) {
        gint32 index = -1;
        g_variant_get(reply, "(h)", &index);
        if (fds) inhibitFd_ = g_unix_fd_list_get(fds, index, nullptr);
        g_variant_unref(reply);
    }
    if (fds) g_object_unref(fds);
    g_dbus_connection_close_sync(bus, nullptr, nullptr);
    g_object_unref(bus);
    return inhibitFd_ >= 0;
}

void TDesktopStayAwake::Release() {
    if (portal_) {
        auto* bus = static_cast<GDBusConnection*>(portal_);
        GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.portal.Desktop", request_.c_str(),
                                                      "org.freedesktop.portal.Request", "Close", nullptr, nullptr,
                                                      G_DBUS_CALL_FLAGS_NONE, kCallMs, nullptr, nullptr);
        if (reply) g_variant_unref(reply);
        g_dbus_connection_close_sync(bus, nullptr, nullptr);  // the request ends with it in any case
        g_object_unref(bus);
        portal_ = nullptr;
        request_.clear();
    }
    if (inhibitFd_ >= 0) {
        ::close(inhibitFd_);
        inhibitFd_ = -1;
    }
    held_ = false;
}

TStayAwake& SystemStayAwake() {
    static TDesktopStayAwake awake(SessionBusAddress(), SystemBusAddress());
    return awake;
}

}  // namespace base
