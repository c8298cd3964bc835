// Small helpers shared by the Linux benchmarks: CPU time, resident memory and a busy machine, beside
// the figures of both builds.
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

#include "bench/BenchFigures.h"

namespace bench {

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
