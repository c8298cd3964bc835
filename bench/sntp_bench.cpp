// One SNTP exchange on loopback against a local chronyd, and the same server measured by ntpdig.
#include <chrono>
#include <cmath>
#include <cstdio>

#include "base/ClockSim.h"
#include "bench/BenchUtil.h"
#include "tests/timesync/ChronyServer.h"
#include "tests/timesync/LoopbackStack.h"
#include "timesync/IdSNTP.h"

int main() {
    testing_support::UseLoopbackStack();
    testing_support::TChronyServer server;
    if (!server.Ready()) {
        std::fprintf(stderr, "chronyd did not answer:\n%s", server.Log().c_str());
        return 1;
    }
    base::TRecordingSetterClock clock;
    timesync::TIdSNTP sntp(clock);
    sntp.SetHost("127.0.0.1");
    sntp.SetPort(server.Port());
    sntp.SetReceiveTimeout(2500);
    std::vector<double> ms, offsets;
    for (int i = 0; i < 300; ++i) {
        sntp.SetActive(true);
        auto a = std::chrono::steady_clock::now();
        double t = sntp.QueryServerTime();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - a).count());
        sntp.SetActive(false);
        if (t != 0) offsets.push_back(sntp.ClockOffset * 86400000.0);
    }
    bench::Figure("sntp_exchange_p50_ms", bench::Percentile(ms, 50), "ms");
    bench::Figure("sntp_exchange_p99_ms", bench::Percentile(ms, 99), "ms");
    bench::Figure("sntp_offset_median_ms", bench::Percentile(offsets, 50), "ms");
    // ntpdig only speaks to port 123.
    if (server.Port() == 123) {
        FILE* p = popen("ntpdig -j 127.0.0.1 2>/dev/null", "r");
        char buf[2048] = {};
        size_t n = p ? fread(buf, 1, sizeof buf - 1, p) : 0;
        if (p) pclose(p);
        std::string out(buf, n);
        size_t at = out.find("\"offset\":");
        if (at != std::string::npos) bench::Figure("sntp_vs_ntpdig_offset_ms", std::stod(out.substr(at + 9)) * 1000.0, "ms");
        else std::fprintf(stderr, "ntpdig gave no offset: %s\n", out.c_str());
    }
    return 0;
}
