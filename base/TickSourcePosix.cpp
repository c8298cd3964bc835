#include "base/TickSourcePosix.h"

#include <glib.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>

namespace base {

namespace {

gboolean DispatchFd(GSource* source, GSourceFunc callback, gpointer data) {
    (void)source;
    return callback(data);
}

GSourceFuncs kFdSourceFuncs = {nullptr, nullptr, DispatchFd, nullptr, nullptr, nullptr};

}  // namespace

TTimerFdCalls SystemTimerFdCalls() {
    return {
        [] { return timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC); },
        [](int fd, int flags, const itimerspec* setting) { return timerfd_settime(fd, flags, setting, nullptr); },
        [](int fd, uint64_t* count) { return ::read(fd, count, sizeof *count); },
        [](timespec* ts) { return clock_gettime(CLOCK_REALTIME, ts); },
        [](int fd) { ::close(fd); },
    };
}

TTickSource::TTickSource(std::function<void()> onTick, TTimerFdCalls calls)
    : onTick_(std::move(onTick)), calls_(std::move(calls)) {}

TTickSource::~TTickSource() { Stop(); }

bool TTickSource::Start(int milliseconds) {
    Stop();
    periodMs_ = milliseconds > 0 ? milliseconds : 1;
    fd_ = calls_.Create();
    if (fd_ < 0) return false;
    if (!Arm()) {
        calls_.Close(fd_);
        fd_ = -1;
        return false;
    }
    GSource* source = g_source_new(&kFdSourceFuncs, sizeof(GSource));
    g_source_add_unix_fd(source, fd_, G_IO_IN);
    g_source_set_callback(source, reinterpret_cast<GSourceFunc>(&TTickSource::Dispatch), this, nullptr);
    g_source_set_priority(source, G_PRIORITY_DEFAULT);
    g_source_attach(source, nullptr);  // the default context: modal loops run it too
    source_ = source;
    return true;
}

void TTickSource::Stop() {
    if (source_) {
        GSource* source = static_cast<GSource*>(source_);
        g_source_destroy(source);
        g_source_unref(source);
        source_ = nullptr;
    }
    if (fd_ >= 0) {
        calls_.Close(fd_);
        fd_ = -1;
    }
}

// The first deadline is the next whole period of the wall clock; the kernel goes on from there.
// Cancel-on-set: a setting of the clock wakes the reader with ECANCELED instead of leaving the
// deadlines where the old time put them.
bool TTickSource::Arm() {
    timespec now{};
    if (calls_.Now(&now) != 0) return false;
    const int64_t periodNs = int64_t{periodMs_} * 1000000;
    const int64_t nowNs = int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
    const int64_t next = (nowNs / periodNs + 1) * periodNs;
    itimerspec deadlines{};
    deadlines.it_value.tv_sec = static_cast<time_t>(next / 1000000000);
    deadlines.it_value.tv_nsec = static_cast<long>(next % 1000000000);
    deadlines.it_interval.tv_sec = static_cast<time_t>(periodNs / 1000000000);
    deadlines.it_interval.tv_nsec = static_cast<long>(periodNs % 1000000000);
    return calls_.SetTime(fd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &deadlines) == 0;
}

int TTickSource::Dispatch(void* data) {
    auto* self = static_cast<TTickSource*>(data);
    uint64_t expirations = 0;
    ssize_t n = self->calls_.Read(self->fd_, &expirations);
    if (n < 0 && errno == ECANCELED) {
        // The clock was set: deadlines from the new time on, and this wake-up is a tick too.
        if (!self->Arm()) return G_SOURCE_CONTINUE;
    } else if (n < 0) {
        return G_SOURCE_CONTINUE;  // EAGAIN: woken for nothing
    }
    self->onTick_();
    return G_SOURCE_CONTINUE;
}

}  // namespace base
