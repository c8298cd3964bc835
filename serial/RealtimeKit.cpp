#include "serial/RealtimeKit.h"

#include <gio/gio.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace serial {

namespace {

constexpr const char* kKit = "org.freedesktop.RealtimeKit1";
constexpr const char* kKitPath = "/org/freedesktop/RealtimeKit1";

// Cancels the exchange when its time is up: the connection and every call are bounded by it.
class TDeadline {
public:
    explicit TDeadline(int ms) : cancel_(g_cancellable_new()), end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms)) {
        timer_ = std::thread([this] {
            std::unique_lock<std::mutex> g(lock_);
            if (!done_.wait_until(g, end_, [this] { return finished_; })) g_cancellable_cancel(cancel_);
        });
    }
    ~TDeadline() {
        {
            std::lock_guard<std::mutex> g(lock_);
            finished_ = true;
        }
        done_.notify_all();
        timer_.join();
        g_object_unref(cancel_);
    }
    GCancellable* Cancellable() const { return cancel_; }
    int LeftMs() const {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end_ - std::chrono::steady_clock::now()).count();
        return static_cast<int>(std::max<int64_t>(left, 1));
    }

private:
    GCancellable* cancel_;
    std::chrono::steady_clock::time_point end_;
    std::mutex lock_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread timer_;
};

// A property of the kit as a 64-bit number; nothing when it cannot be read.
bool KitProperty(GDBusConnection* bus, const char* name, const TDeadline& deadline, int64_t& value) {
    GVariant* reply = g_dbus_connection_call_sync(bus, kKit, kKitPath, "org.freedesktop.DBus.Properties", "Get",
                                                  g_variant_new("(ss)", kKit, name), G_VARIANT_TYPE("(v)"),
                                                  G_DBUS_CALL_FLAGS_NONE, deadline.LeftMs(), deadline.Cancellable(), nullptr);
    if (!reply) return false;
    GVariant* inner = nullptr;
    g_variant_get(reply, "(v)", &inner);
    bool ok = true;
    if (g_variant_is_of_type(inner, G_VARIANT_TYPE_INT32)) value = g_variant_get_int32(inner);
    else if (g_variant_is_of_type(inner, G_VARIANT_TYPE_INT64)) value = g_variant_get_int64(inner);
    else ok = false;
    g_variant_unref(inner);
    g_variant_unref(reply);
    return ok;
}

bool KitCall(GDBusConnection* bus, const char* method, GVariant* args, const TDeadline& deadline) {
    GVariant* reply = g_dbus_connection_call_sync(bus, kKit, kKitPath, kKit, method, args, nullptr,
                                                  G_DBUS_CALL_FLAGS_NONE, deadline.LeftMs(), deadline.Cancellable(), nullptr);
    if (!reply) return false;
    g_variant_unref(reply);
    return true;
}

}  // namespace

TKitGrant AskRealtimeKit(const TKitRequest& request, const std::string& busAddress) {
    std::optional<TDeadline> bounded;
    try {
        bounded.emplace(request.TimeoutMs);
    } catch (const std::system_error&) {  // no thread for the deadline: an unbounded exchange is not begun
        return TKitGrant::None;
    }
    const TDeadline& deadline = *bounded;
    GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
        busAddress.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, deadline.Cancellable(), nullptr);
    if (!bus) return TKitGrant::None;
    TKitGrant grant = TKitGrant::None;
    int64_t maxPriority = 0, rtTimeMax = 0, minNice = 0;
    // Real time only within the kit's limits, and with the process's RLIMIT_RTTIME set first: the
    // kit grants none to a process that a runaway real-time thread could take the machine from.
    if (KitProperty(bus, "MaxRealtimePriority", deadline, maxPriority) && maxPriority > 0 &&
        KitProperty(bus, "RTTimeUSecMax", deadline, rtTimeMax) && rtTimeMax > 0 && request.SetRtTimeLimit &&
        request.SetRtTimeLimit(static_cast<uint64_t>(rtTimeMax))) {
        const auto priority = static_cast<uint32_t>(std::min<int64_t>(request.Priority, maxPriority));
        if (KitCall(bus, "MakeThreadRealtime", g_variant_new("(tu)", static_cast<guint64>(request.ThreadId), priority),
                    deadline))
            grant = TKitGrant::Realtime;
    }
    if (grant == TKitGrant::None && !g_cancellable_is_cancelled(deadline.Cancellable())) {
        const int32_t nice = KitProperty(bus, "MinNiceLevel", deadline, minNice)
                                 ? static_cast<int32_t>(std::max<int64_t>(request.NiceLevel, minNice))
                                 : request.NiceLevel;
        if (KitCall(bus, "MakeThreadHighPriority", g_variant_new("(ti)", static_cast<guint64>(request.ThreadId), nice),
                    deadline))
            grant = TKitGrant::HighPriority;
    }
    g_dbus_connection_close_sync(bus, nullptr, nullptr);
    g_object_unref(bus);
    return grant;
}

bool SetProcessRtTimeLimit(uint64_t usec) {
    rlimit limit{};
    if (getrlimit(RLIMIT_RTTIME, &limit) != 0) return false;
    const rlim_t want = static_cast<rlim_t>(usec);
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < want) limit.rlim_cur = limit.rlim_max;
    else limit.rlim_cur = limit.rlim_max = want;
    return setrlimit(RLIMIT_RTTIME, &limit) == 0;
}

}  // namespace serial
