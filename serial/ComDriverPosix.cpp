// The Linux serial driver's device: the port opened exclusively, its input queue and reads, and the
// line watcher that stamps and counts every modem-line edge for the event wait.
#include "serial/ComDriverPosix.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "serial/CtsSightings.h"
#include "serial/ThreadPriority.h"

namespace serial {

namespace {

// Interrupts the line watcher's TIOCMIWAIT; the handler itself does nothing.
int WatcherSignal() {
    static const int sig = [] {
        int s = SIGRTMIN + 4;
        struct sigaction sa {};
        sa.sa_handler = [](int) {};
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = 0;  // no SA_RESTART: the ioctl returns EINTR
        sigaction(s, &sa, nullptr);
        return s;
    }();
    return sig;
}

bool ReadCounts(const TLineIoctl& lineIoctl, int fd, TLineCounts& c) {
    serial_icounter_struct ic{};
    if (lineIoctl(fd, TIOCGICOUNT, &ic) != 0) return false;
    c = {static_cast<uint32_t>(ic.cts),   static_cast<uint32_t>(ic.dsr),     static_cast<uint32_t>(ic.rng),
         static_cast<uint32_t>(ic.dcd),   static_cast<uint32_t>(ic.frame),   static_cast<uint32_t>(ic.overrun),
         static_cast<uint32_t>(ic.parity), static_cast<uint32_t>(ic.brk), static_cast<uint32_t>(ic.buf_overrun)};
    return true;
}

uint32_t StatusOfBits(int bits) {
    uint32_t s = 0;
    if (bits & TIOCM_CTS) s |= MS_CTS_ON;
    if (bits & TIOCM_DSR) s |= MS_DSR_ON;
    if (bits & TIOCM_RNG) s |= MS_RING_ON;
    if (bits & TIOCM_CAR) s |= MS_RLSD_ON;
    return s;
}

void Kick(int efd) {
    uint64_t one = 1;
    ssize_t r = write(efd, &one, sizeof one);
    (void)r;
}

void Drain(int efd) {
    uint64_t v;
    ssize_t r = read(efd, &v, sizeof v);
    (void)r;
}

bool NoModemLines(int err) { return err == ENOTTY || err == EINVAL; }

class TPosixComDevice final : public TComDevice {
public:
    TPosixComDevice(int fd, int stopFd, int wakeFd, TLineIoctl lineIoctl, TEdgeClock clock, TAdapterFamily family,
                    std::optional<int> serialFlags)
        : fd_(fd), stopFd_(stopFd), wakeFd_(wakeFd), lineIoctl_(std::move(lineIoctl)), now_(std::move(clock)),
          serialFlags_(serialFlags) {
        hasLines_ = lineIoctl_(fd_, TIOCMGET, &openBits_) == 0;
        status_ = hasLines_ ? StatusOfBits(openBits_) : 0;
        polledCts_ = hasLines_ && (openBits_ & TIOCM_CTS);
        // A CP210x answers for counters that never count CTS: its lines are read instead. A PL2303
        // or CH34x has no counters; its watcher counts the CTS edges each wake-up tells of.
        hasCounts_ = family != TAdapterFamily::Cp210x && ReadCounts(lineIoctl_, fd_, waitCounts_);
        countsAtWake_ = !hasCounts_ && (family == TAdapterFamily::Pl2303 || family == TAdapterFamily::Ch34x);
        watcherPolls_ = countsAtWake_;
        openCounts_ = waitCounts_;
        errorCounts_ = waitCounts_;
        if (hasLines_) {
            WatcherSignal();
            watcher_ = std::thread([this] { WatchLines(); });
        }
    }

    ~TPosixComDevice() override {
        if (watcher_.joinable()) {
            quit_ = true;
            // A signal that lands just before the watcher enters its wait is lost, so repeat it.
            while (!watcherEnded_) {
                pthread_kill(watcher_.native_handle(), WatcherSignal());
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            watcher_.join();
        }
        if (serialFlags_) PutBackSerialFlags(lineIoctl_, fd_, *serialFlags_);
        ioctl(fd_, TIOCNXCL);
        close(fd_);
        close(stopFd_);
        close(wakeFd_);
    }

    bool SetupComm(uint32_t inQueue, uint32_t, int&) override {
        std::lock_guard<std::mutex> g(inputLock_);
        inQueue_ = std::max<uint32_t>(inQueue, 16);
        return true;
    }

    bool SetCommState(const TDCB& dcb, int& error) override {
        if (dcb.BaudRate == 0) {  // B0 would hang the line up
            error = 87;
            return false;
        }
        termios2 t{};
        if (ioctl(fd_, TCGETS2, &t) != 0) return Fail(error);
        SetTermios(dcb, t);
        const uint32_t f = dcb.Flags, dtrControl = (f >> 4) & 3, rtsControl = (f >> 12) & 3;
        if (ioctl(fd_, TCSETS2, &t) != 0) return Fail(error);
        {
            std::lock_guard<std::mutex> g(inputLock_);
            discardNull_ = f & 0x800;
            eventChar_ = dcb.EvtChar;
        }
        // DTR on unless disabled (no DTR handshake on Linux); RTS on when enabled or under handshake.
        if (!SetLine(TIOCM_DTR, dtrControl != 0, error)) return false;
        if (!SetLine(TIOCM_RTS, rtsControl == 1 || rtsControl == 2, error)) return false;
        return true;
    }

    bool SetCommTimeouts(const TCommTimeouts& t, int&) override {
        std::lock_guard<std::mutex> g(inputLock_);
        timeouts_ = t;
        return true;
    }

    void SetCommMask(uint32_t mask) override {
        std::lock_guard<std::mutex> g(waitLock_);
        mask_ = mask;
        // Changes from before the mask was set are not reported.
        if (hasCounts_) {
            ReadCounts(lineIoctl_, fd_, waitCounts_);
            int bits = 0;
            ctsHanded_ = lineIoctl_(fd_, TIOCMGET, &bits) == 0 && (bits & TIOCM_CTS);
        } else {
            const uint32_t polled = polledCts_;
            ctsPolledTaken_ = polled >> 1;
            ctsHanded_ = polled & 1;
        }
        ctsEdges_.clear();
        ctsSkew_ = eventHasCts_ = false;
    }

    TWait WaitCommEvent(uint32_t& events) override {
        for (;;) {
            pollfd p[3] = {{stopFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}, {fd_, static_cast<short>(InputFull() ? 0 : POLLIN), 0}};
            if (poll(p, 3, PollTimeout()) < 0) {
                if (errno == EINTR) continue;
                return TWait::Failed;
            }
            if (p[1].revents) Drain(wakeFd_);
            uint32_t ev = 0;
            if (p[0].revents) {
                // Stopped: the CTS edges counted by then are still handed on, one a wait (each is
                // a runner); then nothing more.
                std::lock_guard<std::mutex> g(waitLock_);
                if (!edgesAtStop_) {
                    LineEvents();
                    edgesAtStop_ = mask_ & EV_CTS ? ctsEdges_.size() : 0;
                }
                if (*edgesAtStop_ == 0) return TWait::Stopped;
                --*edgesAtStop_;
                ev = EV_CTS;
            } else {
                if (p[2].revents & POLLIN) ev |= TakeInput();
                if (p[2].revents & (POLLHUP | POLLERR | POLLNVAL)) gone_ = true;
            }
            std::lock_guard<std::mutex> g(waitLock_);
            if (!edgesAtStop_) ev |= LineEvents();
            ev &= mask_;
            eventHasCts_ = (ev & EV_CTS) && !ctsEdges_.empty();
            if (eventHasCts_) {  // one counted edge per wait, with its level and the time it was seen
                ctsHanded_ = !ctsHanded_;
                eventCts_ = ctsEdges_.front();
                ctsEdges_.pop_front();
            }
            if (ev) {
                events = ev;
                return TWait::Event;
            }
            if (gone_) return TWait::Gone;
        }
    }

    void StopWaits() override { Kick(stopFd_); }  // never drained: every later wait ends at once too

    bool GetCommModemStatus(uint32_t& status, int& error) override {
        status = 0;
        if (!hasLines_) return true;
        int bits = 0;
        if (lineIoctl_(fd_, TIOCMGET, &bits) != 0) return Fail(error);
        status = StatusOfBits(bits);
        return true;
    }

    bool GetEventModemStatus(uint32_t& status, TEdgeTime& seen, int& error) override {
        if (!GetCommModemStatus(status, error)) return false;
        std::lock_guard<std::mutex> g(waitLock_);
        if (eventHasCts_) {
            status = (status & ~MS_CTS_ON) | (ctsHanded_ ? MS_CTS_ON : 0);
            seen = eventCts_;
        }
        return true;
    }

    bool ClearCommError(uint32_t& errors, uint32_t& inQueue, int& error) override {
        int pending = 0;
        if (ioctl(fd_, FIONREAD, &pending) != 0) return Fail(error);
        TLineCounts now;
        std::lock_guard<std::mutex> g(inputLock_);
        if (hasCounts_ && ReadCounts(lineIoctl_, fd_, now)) {
            errors_ |= ErrorsBetween(errorCounts_, now);
            errorCounts_ = now;
        }
        errors = errors_;
        errors_ = 0;
        inQueue = static_cast<uint32_t>(input_.size()) + static_cast<uint32_t>(pending);
        return true;
    }

    bool PurgeComm(uint32_t flags, int& error) override {
        if (flags & PURGE_RXCLEAR) {
            if (ioctl(fd_, TCFLSH, TCIFLUSH) != 0) return Fail(error);
            std::lock_guard<std::mutex> g(inputLock_);
            input_.clear();
        }
        if ((flags & PURGE_TXCLEAR) && ioctl(fd_, TCFLSH, TCOFLUSH) != 0) return Fail(error);
        if (flags & PURGE_RXCLEAR) Kick(wakeFd_);  // the wait may have left a full buffer out of its poll
        return true;
    }

    bool Read(void* buffer, uint32_t count, uint32_t& read, int& error) override {
        using clock = std::chrono::steady_clock;
        read = 0;
        TCommTimeouts t;
        {
            std::lock_guard<std::mutex> g(inputLock_);
            t = timeouts_;
        }
        const uint32_t kMax = 0xFFFFFFFF;
        // Interval MAXDWORD with zero totals: return at once with what is there. Interval and
        // multiplier MAXDWORD with a constant: at once if anything is there, else wait for one byte.
        const bool immediate = t.ReadIntervalTimeout == kMax && t.ReadTotalTimeoutMultiplier == 0 &&
                               t.ReadTotalTimeoutConstant == 0;
        const bool anyByte = t.ReadIntervalTimeout == kMax && t.ReadTotalTimeoutMultiplier == kMax &&
                             t.ReadTotalTimeoutConstant != 0 && t.ReadTotalTimeoutConstant != kMax;
        uint64_t total = anyByte ? t.ReadTotalTimeoutConstant
                                 : uint64_t(t.ReadTotalTimeoutMultiplier) * count + t.ReadTotalTimeoutConstant;
        const auto start = clock::now();
        auto lastByte = start;
        auto* out = static_cast<char*>(buffer);
        for (;;) {
            bool wasFull;
            {
                std::lock_guard<std::mutex> g(inputLock_);
                wasFull = input_.size() >= inQueue_;
                int err = FillInput();
                if (err && input_.empty()) {
                    error = WindowsErrorOfErrno(err);
                    return false;
                }
                uint32_t n = std::min<uint32_t>(count - read, static_cast<uint32_t>(input_.size()));
                std::copy_n(input_.begin(), n, out + read);
                input_.erase(input_.begin(), input_.begin() + n);
                if (n) lastByte = clock::now();
                read += n;
            }
            if (wasFull) Kick(wakeFd_);
            if (read == count || immediate || (anyByte && read > 0)) return true;
            // How long to wait for more: up to the total deadline, and once bytes came, the interval.
            std::optional<clock::time_point> deadline;
            if (total != 0) deadline = start + std::chrono::milliseconds(total);
            if (read > 0 && t.ReadIntervalTimeout != 0 && t.ReadIntervalTimeout != kMax) {
                auto d = lastByte + std::chrono::milliseconds(t.ReadIntervalTimeout);
                deadline = deadline ? std::min(*deadline, d) : d;
            }
            int waitMs = -1;
            if (deadline) {
                auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - clock::now()).count();
                if (left <= 0) return true;
                waitMs = static_cast<int>(std::min<int64_t>(left, 1 << 30));
            }
            pollfd p{fd_, POLLIN, 0};
            int r = poll(&p, 1, waitMs);
            if (r == 0) return true;
            if (r < 0 && errno != EINTR) return Fail(error);
            if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
                error = 1117;
                return read > 0;
            }
        }
    }

private:
    bool Fail(int& error) {
        error = WindowsErrorOfErrno(errno);
        return false;
    }

    bool SetLine(int bit, bool on, int& error) {
        if (!hasLines_) return true;
        if (lineIoctl_(fd_, on ? TIOCMBIS : TIOCMBIC, &bit) == 0 || NoModemLines(errno)) return true;
        return Fail(error);
    }

    bool InputFull() {
        std::lock_guard<std::mutex> g(inputLock_);
        return input_.size() >= inQueue_;
    }

    // Moves what the device holds into our input queue, up to its size (inputLock_ held). Returns
    // the errno of a failed read, 0 otherwise.
    int FillInput() {
        char chunk[4096];
        while (input_.size() < inQueue_) {
            size_t room = std::min<size_t>(sizeof chunk, inQueue_ - input_.size());
            ssize_t n = read(fd_, chunk, room);
            if (n < 0) return errno == EAGAIN || errno == EINTR ? 0 : errno;
            if (n == 0) return 0;
            for (ssize_t i = 0; i < n; ++i) {
                if (discardNull_ && chunk[i] == 0) continue;
                if (chunk[i] == eventChar_) sawEventChar_ = true;
                input_.push_back(chunk[i]);
            }
            if (static_cast<size_t>(n) < room) return 0;
        }
        return 0;
    }

    // The data events of what arrived since the last wait.
    uint32_t TakeInput() {
        std::lock_guard<std::mutex> g(inputLock_);
        size_t before = input_.size();
        sawEventChar_ = false;
        if (FillInput() != 0) gone_ = true;
        uint32_t ev = 0;
        if (input_.size() > before) ev |= EV_RXCHAR;
        if (sawEventChar_) ev |= EV_RXFLAG;
        size_t full = inQueue_ * 8 / 10;
        if (before < full && input_.size() >= full) ev |= EV_RX80FULL;
        return ev;
    }

    // Line changes since the last wait (waitLock_ held): from the interrupt counters, which also
    // catch edges that came and went between two waits, else from the status word (CTS from the
    // poller's own count, where it watches).
    uint32_t LineEvents() {
        uint32_t ev = polledEvents_.exchange(0);
        if (hasCounts_) {
            ev &= ~EV_CTS;  // a poller's too: the counters tell CTS
            TLineCounts now;
            if (!ReadCounts(lineIoctl_, fd_, now)) return LineReadFailed(ev);
            const TEdgeTime look = now_();  // the time of edges no watcher saw: by now they had come
            const uint32_t from = waitCounts_.Cts;
            const uint32_t moved = EventsBetween(waitCounts_, now);
            if (moved) quietLooks_ = 0;
            else if (quietLooks_ < kQuietLooks) quietLooks_ = watcherInWait_ ? quietLooks_ + 1 : 0;
            ev |= moved & ~EV_CTS;
            waitCounts_ = now;
            if (now.Cts != from) {
                std::vector<TEdgeTime> times = seen_.Take(from, now.Cts, look);
                if (mask_ & EV_CTS) {
                    int bits = 0;
                    if (lineIoctl_(fd_, TIOCMGET, &bits) != 0) return LineReadFailed(ev);
                    CountCtsEdges(std::move(times), bits & TIOCM_CTS, look);
                }
            }
            if (!ctsEdges_.empty()) ev |= EV_CTS;
            return ev;
        }
        if (!hasLines_) return ev;
        int bits = 0;
        if (lineIoctl_(fd_, TIOCMGET, &bits) != 0) return LineReadFailed(ev);
        uint32_t now = StatusOfBits(bits);
        ev |= EventsOfStatusChange(status_, now);
        status_ = now;
        if (watcherPolls_) {  // the poller counts CTS edges as the kernel's counters would
            ev &= ~EV_CTS;
            const uint32_t polled = polledCts_, from = ctsPolledTaken_;
            const TEdgeTime look = now_();
            ctsPolledTaken_ = polled >> 1;
            if (ctsPolledTaken_ != from) {
                std::vector<TEdgeTime> times = seen_.Take(from, ctsPolledTaken_, look);
                if (mask_ & EV_CTS) CountCtsEdges(std::move(times), polled & 1, look);
            }
            if (!ctsEdges_.empty()) ev |= EV_CTS;
        }
        return ev;
    }

    // Edges still to hand on are handed at once. After a line change the counters are read again
    // every millisecond until the watcher has been back in its wait for one: the kernel's line wait
    // counts only changes after it has begun, so one that comes while the watcher goes back into it
    // would wake nobody until the next one.
    int PollTimeout() {
        std::lock_guard<std::mutex> g(waitLock_);
        if (!ctsEdges_.empty() && (mask_ & EV_CTS)) return 0;
        return hasCounts_ && quietLooks_ < kQuietLooks ? 1 : -1;
    }

    // CTS edges counted since the last wait, with their times, join those not yet handed on
    // (waitLock_ held). They alternate from the level last handed on, and end at the line's level
    // now. Where the count and the line disagree by one, either the line has moved on before its
    // edge was counted (the count will catch up) or a pulse came and went faster than the UART could
    // count both of its edges: the first disagreement hands on one edge more, the next one, one less.
    // The edge handed on one more was seen by no watcher: it takes the time of this look, never the
    // time of the edge before it (a new "on" would carry the time of the "off" that came first).
    void CountCtsEdges(std::vector<TEdgeTime> times, bool now, const TEdgeTime& look) {
        const bool queuedEnd = ctsHanded_ != (ctsEdges_.size() & 1);
        if ((queuedEnd != (times.size() & 1)) != now) {
            if (ctsSkew_) times.pop_back();
            else times.push_back(look);
            ctsSkew_ = !ctsSkew_;
        }
        ctsEdges_.insert(ctsEdges_.end(), times.begin(), times.end());
        // A line chattering faster than its reports are taken would be handed on ever later: only
        // the latest edges are kept, dropped in pairs so that the levels stay right.
        while (ctsEdges_.size() > kMaxCtsBacklog) {
            ctsEdges_.pop_front();
            ctsEdges_.pop_front();
        }
    }

    // The line watcher: one TIOCMIWAIT after another, each change wakes the event wait once.
    void WatchLines() {
        RunAheadOfOrdinaryPrograms();  // where the system allows it; the watcher works either way
        // Where the watcher counts CTS edges itself, a wake-up must mean CTS: the other lines are
        // read at each look.
        const unsigned long lines = countsAtWake_ ? TIOCM_CTS : TIOCM_CTS | TIOCM_DSR | TIOCM_RNG | TIOCM_CD;
        TLineCounts seen = openCounts_;
        bool changed = false;  // the last wait returned for a change
        TEdgeTime woke;
        while (!quit_) {
            // A wait sees only changes after it began: those before it (since the open, between two
            // waits, or the one that ended the last wait) are handed on from the counters. The CTS
            // edges counted are timed by the wake-up, or else by this look.
            TLineCounts now;
            if (hasCounts_ && ReadCounts(lineIoctl_, fd_, now)) {
                if (now.Cts != seen.Cts) seen_.Note(now.Cts, changed ? woke : now_());
                if (EventsBetween(seen, now)) Kick(wakeFd_);
                seen = now;
            } else if (changed) {
                Kick(wakeFd_);
            }
            watcherInWait_ = true;
            const int waited = lineIoctl_(fd_, TIOCMIWAIT, reinterpret_cast<void*>(lines));
            woke = now_();
            watcherInWait_ = false;
            changed = waited == 0;
            if (changed && countsAtWake_) CountWake(woke);
            if (changed) continue;
            if (errno == EINTR) continue;
            if (NoModemLines(errno)) PollLines();  // a driver that reports the lines but cannot wait for them
            else LineLost();
            break;
        }
        watcherEnded_ = true;
    }

    // The CTS edges a wake-up of a device without counters tells of: one where the line has moved
    // since the last, else a whole pulse that came and went before this look (both edges at the
    // wake-up). Counted and noted as the poller does.
    void CountWake(const TEdgeTime& woke) {
        int bits = 0;
        if (lineIoctl_(fd_, TIOCMGET, &bits) != 0) return;
        const bool cts = bits & TIOCM_CTS;
        const uint32_t was = polledCts_, edges = cts != (was & 1) ? 1 : 2;
        const uint32_t polled = ((was >> 1) + edges) << 1 | cts;
        seen_.Note(polled >> 1, woke);
        polledCts_ = polled;
        polledEvents_ |= EV_CTS;
    }

    // Some USB adapters answer TIOCMGET but not TIOCMIWAIT: their lines are read every millisecond
    // instead (this device only), each change handed to the event wait as the counters would.
    void PollLines() {
        watcherInWait_ = true;  // each reading is compared with the last: nothing falls in between
        watcherPolls_ = true;
        int before = openBits_;  // the lines as the device was opened with: no edge since is missed
        auto next = std::chrono::steady_clock::now();
        while (!quit_) {
            // Every millisecond, however long a reading takes (a control transfer on USB); a
            // reading late by more starts the count again. Our stop signal may cut the sleep short.
            next += std::chrono::milliseconds(1);
            const auto now = std::chrono::steady_clock::now();
            if (next < now) next = now;
            std::this_thread::sleep_until(next);
            int bits = 0;
            if (lineIoctl_(fd_, TIOCMGET, &bits) != 0) {
                if (errno == EINTR) continue;
                return LineLost();
            }
            const TEdgeTime at = now_();
            if (uint32_t ev = EventsOfStatusChange(StatusOfBits(before), StatusOfBits(bits))) {
                if ((before ^ bits) & TIOCM_CTS) {
                    // The CTS edge count and the level it left, in one word: read together.
                    const uint32_t polled = ((polledCts_ >> 1) + 1) << 1 | ((bits & TIOCM_CTS) != 0);
                    TLineCounts counts;
                    seen_.Note(hasCounts_ && ReadCounts(lineIoctl_, fd_, counts) ? counts.Cts : polled >> 1, at);
                    polledCts_ = polled;
                }
                polledEvents_ |= ev;
                Kick(wakeFd_);
            }
            before = bits;
        }
    }

    // A line reading that failed for the device's going (not for its lacking the call) ends the waits.
    uint32_t LineReadFailed(uint32_t ev) {
        if (!NoModemLines(errno) && errno != EINTR) gone_ = true;
        return ev;
    }

    void LineLost() {  // the device has gone
        gone_ = true;
        Kick(wakeFd_);
    }

    const int fd_, stopFd_, wakeFd_;
    const TLineIoctl lineIoctl_;
    const TEdgeClock now_;
    const std::optional<int> serialFlags_;  // the driver's flags to put back at the close
    bool hasLines_ = false, hasCounts_ = false, countsAtWake_ = false;
    int openBits_ = 0;
    TLineCounts openCounts_;
    std::atomic<uint32_t> polledEvents_{0};
    std::atomic<uint32_t> polledCts_{0};  // the poller's CTS edges times two, plus the level
    std::atomic<bool> watcherPolls_{false};  // the watcher counts the CTS edges (a poller, or at wake-ups)
    std::thread watcher_;
    std::atomic<bool> quit_{false}, watcherEnded_{false}, gone_{false}, watcherInWait_{false};

    std::mutex waitLock_;
    uint32_t mask_ = 0;
    TLineCounts waitCounts_;
    uint32_t status_ = 0;
    static constexpr uint32_t kMaxCtsBacklog = 256;
    std::deque<TEdgeTime> ctsEdges_;  // the times of counted CTS edges not handed on yet
    bool ctsHanded_ = false;   // the level the last edge handed on left the line at
    bool ctsSkew_ = false;     // one edge handed on that the counter has not counted
    bool eventHasCts_ = false; // the last wait handed on an edge
    std::optional<size_t> edgesAtStop_;  // once stopped: the edges still to hand on
    TEdgeTime eventCts_;       // ... seen at this time
    uint32_t ctsPolledTaken_ = 0;  // the poller's edges counted in so far
    static constexpr int kQuietLooks = 2;
    int quietLooks_ = kQuietLooks;  // looks at unmoved counters in a row, the watcher in its wait
    TCtsSightings seen_{2 * kMaxCtsBacklog};  // the watcher's notes of the CTS count

    std::mutex inputLock_;
    std::deque<char> input_;
    uint32_t inQueue_ = 4096;
    bool discardNull_ = false, sawEventChar_ = false;
    char eventChar_ = 0;
    TCommTimeouts timeouts_{0xFFFFFFFF, 0, 0, 0, 0};
    TLineCounts errorCounts_;
    uint32_t errors_ = 0;
};

}  // namespace

std::unique_ptr<TComDevice> MakePosixDevice(int fd, int stopFd, int wakeFd, TLineIoctl lineIoctl, TEdgeClock clock,
                                            TAdapterFamily family, std::optional<int> serialFlags) {
    return std::make_unique<TPosixComDevice>(fd, stopFd, wakeFd, std::move(lineIoctl), std::move(clock), family,
                                             serialFlags);
}

}  // namespace serial
