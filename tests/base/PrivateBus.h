// A private message bus that a test starts, and a stand-in timedated on it: the clock-setting
// requests of a test never reach the machine's own system bus or timedated.
#pragma once

#include <gio/gio.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "tests/TestDir.h"

namespace testing_support {

// dbus-daemon on a socket in a temporary folder, stopped by its PID.
class TPrivateBus {
public:
    TPrivateBus() {
        testing_support::Spit(dir_ / "bus.conf",
                              "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                              " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                              "<busconfig><type>session</type><listen>unix:path=" +
                                  dir_ / "bus" +
                                  "</listen><auth>EXTERNAL</auth>"
                                  "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                                  "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            close(out[0]);
            std::string conf = "--config-file=" + dir_ / "bus.conf";
            execlp("dbus-daemon", "dbus-daemon", conf.c_str(), "--nofork", "--print-address=1", nullptr);
            _exit(127);
        }
        close(out[1]);
        char buf[512];
        ssize_t n = read(out[0], buf, sizeof buf - 1);
        close(out[0]);
        if (n > 0) {
            address_.assign(buf, static_cast<size_t>(n));
            while (!address_.empty() && (address_.back() == '\n' || address_.back() == '\r')) address_.pop_back();
        }
    }
    ~TPrivateBus() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& Address() const { return address_; }
    std::string NoBusAddress() const { return "unix:path=" + dir_ / "nobody-listens"; }

private:
    testing_support::TTempDir dir_;
    pid_t pid_ = -1;
    std::string address_;
};

// org.freedesktop.timedate1 with SetTime only, on its own thread and main context.
class TStandInTimedated {
public:
    explicit TStandInTimedated(const std::string& address) {
        thread_ = std::thread([this, address] { Run(address); });
        std::unique_lock<std::mutex> g(lock_);
        changed_.wait(g, [&] { return ready_; });
    }
    ~TStandInTimedated() {
        stop_ = true;
        if (context_) g_main_context_wakeup(context_);
        thread_.join();
    }
    bool Owned() const { return owned_; }
    // A D-Bus error name to answer with; empty: accept.
    void Refuse(const std::string& name) {
        std::lock_guard<std::mutex> g(lock_);
        refusal_ = name;
    }
    std::mutex lock_;
    std::vector<std::tuple<int64_t, bool, bool>> Calls;

private:
    static void MethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                           GVariant* params, GDBusMethodInvocation* call, gpointer self) {
        auto* me = static_cast<TStandInTimedated*>(self);
        if (std::string(method) != "SetTime") {
            g_dbus_method_invocation_return_dbus_error(call, "org.freedesktop.DBus.Error.UnknownMethod", "no");
            return;
        }
        gint64 usec;
        gboolean relative, interactive;
        g_variant_get(params, "(xbb)", &usec, &relative, &interactive);
        std::string refusal;
        {
            std::lock_guard<std::mutex> g(me->lock_);
            me->Calls.emplace_back(usec, relative, interactive);
            refusal = me->refusal_;
        }
        if (refusal.empty()) g_dbus_method_invocation_return_value(call, nullptr);
        else g_dbus_method_invocation_return_dbus_error(call, refusal.c_str(), "refused by the stand-in");
    }

    void Run(const std::string& address) {
        GMainContext* ctx = g_main_context_new();
        g_main_context_push_thread_default(ctx);
        GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
            address.c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(
            "<node><interface name='org.freedesktop.timedate1'><method name='SetTime'>"
            "<arg type='x' direction='in'/><arg type='b' direction='in'/><arg type='b' direction='in'/>"
            "</method></interface></node>",
            nullptr);
        static const GDBusInterfaceVTable vtable = {&TStandInTimedated::MethodCall, nullptr, nullptr, {}};
        if (bus && node) {
            g_dbus_connection_register_object(bus, "/org/freedesktop/timedate1", node->interfaces[0], &vtable, this,
                                              nullptr, nullptr);
            GVariant* r = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                      "org.freedesktop.DBus", "RequestName",
                                                      g_variant_new("(su)", "org.freedesktop.timedate1", 4u), nullptr,
                                                      G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
            if (r) {
                guint32 result = 0;
                g_variant_get(r, "(u)", &result);
                owned_ = result == 1;
                g_variant_unref(r);
            }
        }
        {
            std::lock_guard<std::mutex> g(lock_);
            context_ = ctx;
            ready_ = true;
        }
        changed_.notify_all();
        while (!stop_) g_main_context_iteration(ctx, TRUE);
        if (bus) {
            g_dbus_connection_close_sync(bus, nullptr, nullptr);
            g_object_unref(bus);
        }
        if (node) g_dbus_node_info_unref(node);
        g_main_context_pop_thread_default(ctx);
        g_main_context_unref(ctx);
    }

    std::string refusal_;
    std::thread thread_;
    std::condition_variable changed_;
    bool ready_ = false, owned_ = false;
    std::atomic<bool> stop_{false};
    GMainContext* context_ = nullptr;
};

}  // namespace testing_support
