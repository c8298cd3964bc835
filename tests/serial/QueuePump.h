// Runs a test's UI call queue while a port's event thread works: until a condition holds, or for a while.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "base/CallQueue.h"

namespace testing_support {

// Runs queued calls every 5 ms until `done` holds or `tries` rounds have passed; returns `done()`.
inline bool PumpQueueUntil(base::TCallQueue& ui, const std::function<bool()>& done, int tries = 400) {
    for (int i = 0; i < tries; ++i) {
        ui.RunPending();
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

inline bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

inline int Count(const std::string& s, const std::string& part) {
    int n = 0;
    for (size_t at = s.find(part); at != std::string::npos; at = s.find(part, at + part.size())) ++n;
    return n;
}

}  // namespace testing_support
