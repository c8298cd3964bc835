// A private message bus that a test starts, and a stand-in timedated on it: the clock-setting
// requests of a test never reach the machine's own system bus or timedated.
#pragma once

#include <gio/gio.h>
#include <gio/gunixfdlist.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
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

// A system service played on the bus by the test: the methods of every interface of its node
// answered by `Answer`, its properties by `Property`, on a thread and main context of its own.
class TStandInService {
public:
    // A method's reply (nullptr: none); `refusal` set to a D-Bus error name refuses instead.
    using TAnswer = std::function<GVariant*(const std::string& method, GVariant* params, std::string& refusal)>;
    using TProperty = std::function<GVariant*(const std::string& name)>;

    TStandInService(const std::string& address, std::string name, std::string path, std::string xml, TAnswer answer,
                    TProperty property = nullptr)
        : name_(std::move(name)), path_(std::move(path)), xml_(std::move(xml)), answer_(std::move(answer)),
          property_(std::move(property)) {
        thread_ = std::thread([this, address] { Run(address); });
        std::unique_lock<std::mutex> g(lock_);
        changed_.wait(g, [&] { return ready_; });
    }
    ~TStandInService() {
        stop_ = true;
        if (context_) g_main_context_wakeup(context_);
        thread_.join();
    }
    bool Owned() const { return owned_; }
    // From inside an answer: descriptors to send with its reply (the list is taken over).
    void ReplyFds(GUnixFDList* fds) { replyFds_ = fds; }

private:
    static void MethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                           GVariant* params, GDBusMethodInvocation* call, gpointer self) {
        auto* me = static_cast<TStandInService*>(self);
        std::string refusal;
        GVariant* reply = me->answer_(method, params, refusal);
        GUnixFDList* fds = std::exchange(me->replyFds_, nullptr);
        if (!refusal.empty()) g_dbus_method_invocation_return_dbus_error(call, refusal.c_str(), "refused by the stand-in");
        else if (fds) g_dbus_method_invocation_return_value_with_unix_fd_list(call, reply, fds);
        else g_dbus_method_invocation_return_value(call, reply);
        if (fds) g_object_unref(fds);
    }
    static GVariant* GetProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* name,
                                 GError** error, gpointer self) {
        auto* me = static_cast<TStandInService*>(self);
        GVariant* value = me->property_ ? me->property_(name) : nullptr;
        if (!value) g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "no %s", name);
        return value;
    }

    void Run(const std::string& address) {
        GMainContext* ctx = g_main_context_new();
        g_main_context_push_thread_default(ctx);
        GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
            address.c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(xml_.c_str(), nullptr);
        static const GDBusInterfaceVTable vtable = {&TStandInService::MethodCall, &TStandInService::GetProperty,
                                                    nullptr, {}};
        if (bus && node) {
            for (GDBusInterfaceInfo** i = node->interfaces; *i; ++i)
                g_dbus_connection_register_object(bus, path_.c_str(), *i, &vtable, this, nullptr, nullptr);
            GVariant* r = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                      "org.freedesktop.DBus", "RequestName",
                                                      g_variant_new("(su)", name_.c_str(), 4u), nullptr,
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

    const std::string name_, path_, xml_;
    const TAnswer answer_;
    const TProperty property_;
    std::mutex lock_;
    std::thread thread_;
    std::condition_variable changed_;
    bool ready_ = false, owned_ = false;
    std::atomic<bool> stop_{false};
    GMainContext* context_ = nullptr;
    GUnixFDList* replyFds_ = nullptr;
};

// org.freedesktop.timedate1 with SetTime only.
class TStandInTimedated {
public:
    explicit TStandInTimedated(const std::string& address)
        : service_(address, "org.freedesktop.timedate1", "/org/freedesktop/timedate1",
                   "<node><interface name='org.freedesktop.timedate1'><method name='SetTime'>"
                   "<arg type='x' direction='in'/><arg type='b' direction='in'/><arg type='b' direction='in'/>"
                   "</method></interface></node>",
                   [this](const std::string&, GVariant* params, std::string& refusal) -> GVariant* {
                       gint64 usec;
                       gboolean relative, interactive;
                       g_variant_get(params, "(xbb)", &usec, &relative, &interactive);
                       std::lock_guard<std::mutex> g(lock_);
                       Calls.emplace_back(usec, relative, interactive);
                       refusal = refusal_;
                       return nullptr;
                   }) {}
    bool Owned() const { return service_.Owned(); }
    // A D-Bus error name to answer with; empty: accept.
    void Refuse(const std::string& name) {
        std::lock_guard<std::mutex> g(lock_);
        refusal_ = name;
    }
    std::mutex lock_;
    std::vector<std::tuple<int64_t, bool, bool>> Calls;

private:
    std::string refusal_;
    TStandInService service_;  // last: it answers from its own thread until it is gone
};

}  // namespace testing_support
