// Small helpers shared by the benchmarks: percentiles, CPU time, resident memory, figure lines, the
// error of a record against its trigger, and a busy machine.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace bench {

inline double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t i = static_cast<size_t>(p / 100.0 * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

inline double CpuSeconds() {
    rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

inline double RssMb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    return 0;
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

// An ordinary PC at a race, busy beside the program while it lives: two threads a core that never
// sleep, at ordinary priority, and a writer that keeps the disk busy as a file copy does (64 MB
// written, synced to the disk, and again).
class TBusyMachine {
public:
    explicit TBusyMachine(const std::string& scratchFile) {
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        for (unsigned i = 0; i < 2 * cores; ++i)
            threads_.emplace_back([this] {
                volatile uint64_t x = 1;
                while (!stop_) x = x * 6364136223846793005ULL + 1442695040888963407ULL;
            });
        threads_.emplace_back([this, scratchFile] {
            const int fd = open(scratchFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            if (fd < 0) return;
            const std::vector<char> block(1 << 20, 'x');
            for (int written = 0; !stop_; ++written) {
                if (written == 64) {
                    written = 0;
                    fdatasync(fd);
                    if (ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) != 0) break;
                }
                if (write(fd, block.data(), block.size()) < 0) break;
            }
            close(fd);
            unlink(scratchFile.c_str());
        });
    }
    ~TBusyMachine() {
        stop_ = true;
        for (std::thread& t : threads_) t.join();
    }
    TBusyMachine(const TBusyMachine&) = delete;
    TBusyMachine& operator=(const TBusyMachine&) = delete;

private:
    std::atomic<bool> stop_{false};
    std::vector<std::thread> threads_;
};

}  // namespace bench
