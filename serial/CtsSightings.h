// The line watcher's notes of when it saw the CTS edge count move, for the event thread to time
// each counted edge by: the edges are counted by the driver, seen by the watcher, handed on later.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "serial/ComDriver.h"

namespace serial {

class TCtsSightings {
public:
    // At most `maxEdges` (even) edges are timed at once: of a flood, the latest.
    explicit TCtsSightings(uint32_t maxEdges) : maxEdges_(maxEdges) {}
    // The count had reached `count` by `at`.
    void Note(uint32_t count, const TEdgeTime& at);
    // The times of the edges after `from` up to `to` (counts that wrap): each when the count was
    // first seen to reach it, else `look`. The notes up to `to` are used up.
    std::vector<TEdgeTime> Take(uint32_t from, uint32_t to, const TEdgeTime& look);

private:
    struct TCount {
        uint32_t Count;
        TEdgeTime At;
    };
    static constexpr size_t kMaxNotes = 1024;
    const uint32_t maxEdges_;
    std::mutex lock_;
    std::deque<TCount> notes_;  // oldest first
};

}  // namespace serial
