#include "base/TimeDateDBus.h"

#include <gio/gio.h>

#include <cstdlib>

namespace base {

std::string SystemBusAddress() {
    const char* env = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    return env && *env ? env : "unix:path=/run/dbus/system_bus_socket";
}

TClockRefusal RefusalOfTimedatedError(const std::string& errorName) {
    auto is = [&](const char* prefix) { return errorName.rfind(prefix, 0) == 0; };
    if (errorName == "org.freedesktop.timedate1.AutomaticTimeSyncEnabled") return TClockRefusal::AutomaticSync;
    // polkit's answer as timedated passes it on: denied, not asked, or the question cancelled.
    if (errorName == "org.freedesktop.DBus.Error.AccessDenied" ||
        errorName == "org.freedesktop.DBus.Error.InteractiveAuthorizationRequired" ||
        is("org.freedesktop.PolicyKit1.Error."))
        return TClockRefusal::NotAuthorized;
    // The bus has no timedated, or cannot start it.
    if (errorName == "org.freedesktop.DBus.Error.ServiceUnknown" ||
        errorName == "org.freedesktop.DBus.Error.NameHasNoOwner" ||
        errorName == "org.freedesktop.DBus.Error.UnknownMethod" ||
        errorName == "org.freedesktop.DBus.Error.UnknownObject" ||
        errorName == "org.freedesktop.DBus.Error.UnknownInterface" || is("org.freedesktop.DBus.Error.Spawn."))
        return TClockRefusal::NoService;
    return TClockRefusal::Refused;
}

bool TimedatedSetTimeRelative(int64_t usec, const std::string& busAddress, std::string* error, TClockRefusal* why) {
    GError* e = nullptr;
    auto fail = [&](bool connected) {
        if (error) *error = e ? e->message : "";
        if (why) {
            *why = TClockRefusal::NoService;  // no system bus at all
            if (connected) {
                gchar* name = e ? g_dbus_error_get_remote_error(e) : nullptr;
                *why = RefusalOfTimedatedError(name ? name : "");
                g_free(name);
            }
        }
        if (e) g_error_free(e);
        return false;
    };
    // A connection of our own: the shared system-bus object would keep the first address it saw.
    GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
        busAddress.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &e);
    if (!bus) return fail(false);
    // Long enough for the user to answer polkit's password question.
    const int timeoutMs = 120000;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.timedate1", "/org/freedesktop/timedate1", "org.freedesktop.timedate1", "SetTime",
        g_variant_new("(xbb)", static_cast<gint64>(usec), TRUE, TRUE), nullptr,
        G_DBUS_CALL_FLAGS_ALLOW_INTERACTIVE_AUTHORIZATION, timeoutMs, nullptr, &e);
    g_dbus_connection_close_sync(bus, nullptr, nullptr);
    g_object_unref(bus);
    if (!reply) return fail(true);
    g_variant_unref(reply);
    return true;
}

}  // namespace base
