#include "serial/LineChanges.h"

namespace serial {

void TLineChanges::Restart(uint32_t status) {
    std::lock_guard<std::mutex> g(lock_);
    changes_.clear();
    ctsKept_ = status & MS_CTS_ON;
    pulseAdded_ = false;
    stopped_ = false;
}

void TLineChanges::Keep(uint32_t events, uint32_t status, const TEdgeTime& at, bool atOnce) {
    std::lock_guard<std::mutex> g(lock_);
    if (stopped_) return;
    const bool cts = status & MS_CTS_ON;
    const bool samePulse = atOnce && pulseAdded_;
    pulseAdded_ = false;
    if ((events & EV_CTS) && cts == ctsKept_) {
        if (samePulse) {  // the remembered second edge of the pulse the last look added
            if (events &= ~EV_CTS) Push({events, status, at});
            return;
        }
        // The line went the other way and back before this look: the first edge, with this time too.
        Push({events, status ^ MS_CTS_ON, at});
        Push({EV_CTS, status, at});
        pulseAdded_ = true;
    } else {
        Push({events, status, at});
    }
    if (events & EV_CTS) ctsKept_ = cts;
}

void TLineChanges::Push(const TLineChange& c) {
    changes_.push_back(c);
    // A line chattering faster than its reports are taken would be handed on ever later: only the
    // latest changes are kept, dropped in pairs so that the CTS levels stay in step.
    while (changes_.size() > kMaxBacklog) {
        changes_.pop_front();
        changes_.pop_front();
    }
}

std::optional<TLineChange> TLineChanges::Take() {
    std::lock_guard<std::mutex> g(lock_);
    if (changes_.empty()) return std::nullopt;
    TLineChange c = changes_.front();
    changes_.pop_front();
    return c;
}

void TLineChanges::Stop() {
    std::lock_guard<std::mutex> g(lock_);
    stopped_ = true;
}

bool TLineChanges::Empty() {
    std::lock_guard<std::mutex> g(lock_);
    return changes_.empty();
}

}  // namespace serial
