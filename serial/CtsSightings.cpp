#include "serial/CtsSightings.h"

namespace serial {

void TCtsSightings::Note(uint32_t count, const TEdgeTime& at) {
    std::lock_guard<std::mutex> g(lock_);
    if (!notes_.empty() && notes_.back().Count == count) return;
    notes_.push_back({count, at});
    if (notes_.size() > kMaxNotes) notes_.pop_front();
}

std::vector<TEdgeTime> TCtsSightings::Take(uint32_t from, uint32_t to, const TEdgeTime& look) {
    const uint32_t edges = to - from;
    if (edges > maxEdges_) from += (edges - maxEdges_ + 1) & ~1u;  // an even number off: the levels stay right
    std::vector<TEdgeTime> times;
    std::lock_guard<std::mutex> g(lock_);
    for (uint32_t n = from + 1; n != to + 1; ++n) {
        while (!notes_.empty() && static_cast<int32_t>(notes_.front().Count - n) < 0) notes_.pop_front();
        times.push_back(notes_.empty() ? look : notes_.front().At);
    }
    while (!notes_.empty() && static_cast<int32_t>(notes_.front().Count - to) <= 0) notes_.pop_front();
    return times;
}

}  // namespace serial
