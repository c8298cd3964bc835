// The benchmarks' figures, for both builds: percentiles, figure lines, and the error of a record
// against its trigger.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace bench {

inline double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t i = static_cast<size_t>(p / 100.0 * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

inline void Figure(const char* name, double value, const char* unit) {
    std::printf("%s %.3f %s\n", name, value, unit);
    std::fflush(stdout);
}

inline int64_t UnixUsNow() {
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

// The error of each record of a time log ("   hh:nn:ss,zzz UT ...", 35 bytes) against the moment
// its trigger was made, which lies between the injector's two readings of the clock around the
// injection (µs since 1970): 0 for a record within them (cut to the millisecond), else how far
// outside, in ms.
inline std::vector<double> RecordErrorsMs(const std::vector<std::pair<int64_t, int64_t>>& made, const std::string& log) {
    const int64_t day = 86400000;
    auto wrapped = [&](int64_t d) { return (d % day + day + day / 2) % day - day / 2; };
    std::vector<double> errors;
    for (size_t i = 0; i < made.size() && (i + 1) * 35 <= log.size(); ++i) {
        const std::string t = log.substr(i * 35 + 3, 12);
        const int64_t record = std::stoll(t.substr(0, 2)) * 3600000 + std::stoll(t.substr(3, 2)) * 60000 +
                               std::stoll(t.substr(6, 2)) * 1000 + std::stoll(t.substr(9, 3));
        const int64_t early = wrapped(made[i].first / 1000 - record), late = wrapped(record - made[i].second / 1000);
        errors.push_back(static_cast<double>(std::max<int64_t>({early, late, 0})));
    }
    return errors;
}

}  // namespace bench
