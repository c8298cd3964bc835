#include "serial/ComDriverSim.h"

#include <cstring>
#include <thread>

#include "base/Clock.h"
#include <utility>

namespace serial {

class TSimDevice final : public TComDevice {
public:
    explicit TSimDevice(std::shared_ptr<TSimLine> line) : l_(std::move(line)) {}
    ~TSimDevice() override {
        std::lock_guard<std::mutex> g(l_->lock_);
        l_->open_ = false;
        l_->stopped_ = false;
    }
    bool SetupComm(uint32_t in, uint32_t out, int&) override {
        std::lock_guard<std::mutex> g(l_->lock_);
        ++l_->SetupCommCalls;
        l_->InQueue = in, l_->OutQueue = out;
        return true;
    }
    bool SetCommState(const TDCB& dcb, int& error) override {
        std::lock_guard<std::mutex> g(l_->lock_);
        ++l_->SetCommStateCalls;
        if (l_->FailSetCommState) {
            error = l_->FailSetCommState;
            return false;
        }
        l_->LastDCB = dcb;
        return true;
    }
    bool SetCommTimeouts(const TCommTimeouts&, int&) override {
        std::lock_guard<std::mutex> g(l_->lock_);
        ++l_->SetCommTimeoutsCalls;
        return true;
    }
    void SetCommMask(uint32_t mask) override {
        std::lock_guard<std::mutex> g(l_->lock_);
        l_->mask_ = l_->LastMask = mask;
        l_->kept_.Restart(l_->status_);
    }
    TWait WaitCommEvent(uint32_t& events) override {
        if (l_->SlowWaitMs) std::this_thread::sleep_for(std::chrono::milliseconds(l_->SlowWaitMs));
        std::unique_lock<std::mutex> g(l_->lock_);
        l_->changed_.wait(g, [&] {
            return l_->stopped_ || l_->gone_ || (l_->pending_ & l_->mask_) || !l_->kept_.Empty();
        });
        if (std::optional<TLineChange> c = l_->kept_.Take()) {  // one kept change a wait, also once stopped
            events = c->Events;
            eventStatus_ = c->Status;
            eventAt_ = c->At;
            l_->changed_.notify_all();
            return TWait::Event;
        }
        if (l_->stopped_) return TWait::Stopped;  // the stop wins over what was not kept
        if (l_->gone_) return TWait::Gone;
        events = l_->pending_ & l_->mask_;
        l_->pending_ &= ~events;
        // The lines as this wait found them, and the time the change was seen, if scripted.
        eventStatus_ = l_->status_;
        eventAt_ = std::exchange(l_->change_, std::nullopt);
        l_->changed_.notify_all();
        return TWait::Event;
    }
    void StopWaits() override {
        {
            std::lock_guard<std::mutex> g(l_->lock_);
            l_->stopped_ = true;
            l_->kept_.Stop();
        }
        l_->changed_.notify_all();
    }
    bool GetCommModemStatus(uint32_t& status, int& error) override {
        std::lock_guard<std::mutex> g(l_->lock_);
        if (l_->FailModemStatus) {
            error = l_->FailModemStatus;
            return false;
        }
        status = l_->gone_ ? 0 : l_->status_;
        return true;
    }
    bool GetEventModemStatus(uint32_t& status, TEdgeTime& seen, int& error) override {
        std::lock_guard<std::mutex> g(l_->lock_);
        if (l_->FailModemStatus) {
            error = l_->FailModemStatus;
            return false;
        }
        status = l_->gone_ ? 0 : eventStatus_;
        if (eventAt_) seen = *eventAt_;
        return true;
    }
    bool ClearCommError(uint32_t& errors, uint32_t& inQueue, int&) override {
        std::lock_guard<std::mutex> g(l_->lock_);
        errors = l_->errors_;
        l_->errors_ = 0;
        inQueue = static_cast<uint32_t>(l_->input_.size());
        return true;
    }
    bool PurgeComm(uint32_t flags, int& error) override {
        std::lock_guard<std::mutex> g(l_->lock_);
        if (l_->FailPurge && (flags & PURGE_TXABORT)) {  // the close's purge; the thread's own one passes
            error = l_->FailPurge;
            return false;
        }
        if (flags & (PURGE_RXCLEAR)) l_->input_.clear();
        return true;
    }
    bool Read(void* buffer, uint32_t count, uint32_t& read, int&) override {
        std::lock_guard<std::mutex> g(l_->lock_);
        read = std::min<uint32_t>(count, static_cast<uint32_t>(l_->input_.size()));
        std::memcpy(buffer, l_->input_.data(), read);
        l_->input_.erase(0, read);
        return true;
    }

private:
    std::shared_ptr<TSimLine> l_;
    uint32_t eventStatus_ = 0;
    std::optional<TEdgeTime> eventAt_;
};

void TSimLine::Signal(uint32_t bit, bool on, uint32_t ev, std::optional<TEdgeTime> at) {
    {
        std::lock_guard<std::mutex> g(lock_);
        status_ = on ? status_ | bit : status_ & ~bit;
        if (KeepChanges) {
            if (mask_ & ev) kept_.Keep(ev, status_, at ? *at : TEdgeTime{base::SystemClock().UnixUsNow(),
                                                                          base::SystemClock().MonotonicUsNow()});
        } else {
            pending_ |= ev;
            change_ = at;
        }
    }
    changed_.notify_all();
}

void TSimLine::PulseBeforeLook() {
    {
        std::lock_guard<std::mutex> g(lock_);
        const TEdgeTime at{base::SystemClock().UnixUsNow(), base::SystemClock().MonotonicUsNow()};
        if (mask_ & EV_CTS) {
            kept_.Keep(EV_CTS, status_, at);
            kept_.Keep(EV_CTS, status_, at, true);
        }
    }
    changed_.notify_all();
}

void TSimLine::WaitTaken() {
    std::unique_lock<std::mutex> g(lock_);
    changed_.wait(g, [&] { return ((pending_ & mask_) == 0 && kept_.Empty()) || !open_; });
}

void TSimLine::SetLines(uint32_t status, uint32_t eventMask) {
    {
        std::lock_guard<std::mutex> g(lock_);
        status_ = status;
        pending_ |= eventMask;
    }
    changed_.notify_all();
}

void TSimLine::Receive(const std::string& bytes, bool report) {
    {
        std::lock_guard<std::mutex> g(lock_);
        input_ += bytes;
        if (report) pending_ |= EV_RXCHAR;
    }
    changed_.notify_all();
}

void TSimLine::AddErrors(uint32_t ce, bool report) {
    {
        std::lock_guard<std::mutex> g(lock_);
        errors_ |= ce;
        if (report) pending_ |= EV_ERR;
    }
    changed_.notify_all();
}

void TSimLine::Raise(uint32_t eventMask) {
    {
        std::lock_guard<std::mutex> g(lock_);
        pending_ |= eventMask;
    }
    changed_.notify_all();
}

void TSimLine::Unplug() {
    {
        std::lock_guard<std::mutex> g(lock_);
        gone_ = true;
    }
    changed_.notify_all();
}

void TSimLine::PullOut() {
    {
        std::lock_guard<std::mutex> g(lock_);
        absent_ = true;
    }
    Unplug();
}

void TSimLine::PlugIn() {
    std::vector<std::function<void()>> watches;
    {
        std::lock_guard<std::mutex> g(lock_);
        absent_ = false;
        for (auto& w : returnWatches_) watches.push_back(w.second);
    }
    for (auto& w : watches) w();
}

class TSimPortWatch final : public TPortWatch {
public:
    explicit TSimPortWatch(std::shared_ptr<TSimLine> line, std::function<void()> maybeBack);
    ~TSimPortWatch() override;

private:
    std::shared_ptr<TSimLine> line_;
};

TSimLine& TSimComDriver::Line(const std::string& port) {
    std::lock_guard<std::mutex> g(lock_);
    auto& l = lines_[port];
    if (!l) l = std::make_shared<TSimLine>();
    return *l;
}

std::unique_ptr<TComDevice> TSimComDriver::Open(const std::string& port, int& error) {
    std::lock_guard<std::mutex> g(lock_);
    auto it = lines_.find(port);
    if (it == lines_.end()) {
        error = 2;  // ERROR_FILE_NOT_FOUND
        return nullptr;
    }
    std::lock_guard<std::mutex> lg(it->second->lock_);
    if (it->second->absent_) {
        error = 2;
        return nullptr;
    }
    if (it->second->open_) {
        error = 5;  // ERROR_ACCESS_DENIED: opened exclusively
        return nullptr;
    }
    it->second->open_ = true;
    it->second->gone_ = false;
    it->second->pending_ = 0;
    return std::make_unique<TSimDevice>(it->second);
}

std::unique_ptr<TPortWatch> TSimComDriver::WatchReturn(const std::string& port, std::function<void()> maybeBack) {
    std::lock_guard<std::mutex> g(lock_);
    auto it = lines_.find(port);
    if (it == lines_.end()) return nullptr;
    return std::make_unique<TSimPortWatch>(it->second, std::move(maybeBack));
}

TPortAdapter TSimComDriver::Describe(const std::string& port) {
    std::lock_guard<std::mutex> g(lock_);
    auto it = lines_.find(port);
    return it == lines_.end() ? TPortAdapter{} : it->second->Adapter;
}

TSimPortWatch::TSimPortWatch(std::shared_ptr<TSimLine> line, std::function<void()> maybeBack) : line_(std::move(line)) {
    std::lock_guard<std::mutex> g(line_->lock_);
    line_->returnWatches_.emplace_back(this, std::move(maybeBack));
}

TSimPortWatch::~TSimPortWatch() {
    std::lock_guard<std::mutex> g(line_->lock_);
    std::erase_if(line_->returnWatches_, [this](const auto& w) { return w.first == this; });
}

}  // namespace serial
