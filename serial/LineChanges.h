// What a line watcher keeps for the event thread on a driver that tells only the lines' levels
// (Windows' WaitCommEvent, and the simulated driver that plays it): each return of the watcher's
// wait with the lines it read then and the time it returned, taken by the event thread one by one,
// however long the window holds each report. A CTS event whose level reads the same as the last
// one kept means a pulse came and went between two looks: it is kept as both its edges. The
// driver remembers the pulse's second edge, which came after its wait had ended, and the next wait
// ends at once for it: that event is the same pulse and adds nothing.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

#include "serial/ComDriver.h"

namespace serial {

struct TLineChange {
    uint32_t Events = 0;  // EV_ bits
    uint32_t Status = 0;  // MS_ bits as the change left them
    TEdgeTime At;
};

class TLineChanges {
public:
    // The lines as the mask was set: the levels later changes are told against. Drops what was kept.
    void Restart(uint32_t status);
    // One return of the watcher's wait: its events (the mask's), the lines read then, its time;
    // `atOnce` when the wait ended as it was armed, on an event the driver had remembered.
    void Keep(uint32_t events, uint32_t status, const TEdgeTime& at, bool atOnce = false);
    std::optional<TLineChange> Take();
    // What is kept by now is still taken; nothing is kept from now on, until the next Restart.
    void Stop();
    bool Empty();

private:
    void Push(const TLineChange& c);

    static constexpr size_t kMaxBacklog = 256;
    std::mutex lock_;
    std::deque<TLineChange> changes_;
    bool ctsKept_ = false;  // the CTS level of the last change kept
    bool pulseAdded_ = false;  // the last change kept was a whole pulse found at one look
    bool stopped_ = false;
};

}  // namespace serial
