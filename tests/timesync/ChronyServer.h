// A real NTP server for the tests: chronyd on 127.0.0.1 with -x (it never touches the clock), local
// stratum 8 and no upstream; on port 123 when we may bind it, else on a free high port. Stopped by
// its PID.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "tests/TestDir.h"
#include "tests/timesync/LoopbackUdp.h"

extern char** environ;

namespace testing_support {

class TChronyServer {
public:
    TChronyServer() {
        port_ = PortFree(123) ? 123 : FreePort();
        std::ofstream conf(dir_ / "chrony.conf");
        conf << "port " << port_ << "\nbindaddress 127.0.0.1\nlocal stratum 8\nallow 127.0.0.1\ncmdport 0\n"
             << "pidfile " << (dir_ / "chronyd.pid") << "\ndriftfile " << (dir_ / "drift") << "\n";
        conf.close();
        std::string confPath = dir_ / "chrony.conf", logPath = dir_ / "chronyd.log";
        const char* user = geteuid() == 0 ? "root" : nullptr;
        std::vector<const char*> argv = {"chronyd", "-x", "-d", "-f", confPath.c_str()};
        if (user) argv.insert(argv.end(), {"-u", user});
        argv.push_back(nullptr);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&fa, 1, 2);
        if (posix_spawnp(&pid_, "chronyd", &fa, nullptr, const_cast<char* const*>(argv.data()), environ) != 0) pid_ = 0;
        posix_spawn_file_actions_destroy(&fa);
        if (pid_ > 0) ready_ = WaitAnswering();
    }
    ~TChronyServer() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int st;
            waitpid(pid_, &st, 0);
        }
    }
    bool Ready() const { return ready_; }
    int Port() const { return port_; }
    std::string Log() const { return Slurp(dir_ / "chronyd.log"); }

    static bool PortFree(int port) {
        int fd = BindLoopbackUdp(port);
        if (fd < 0) return false;
        close(fd);
        return true;
    }
    // A loopback UDP port nobody listens on (bound and released at once).
    static int FreePort() {
        int fd = BindLoopbackUdp();
        int port = LocalPort(fd);
        close(fd);
        return port;
    }

private:
    // Sends plain client requests until a synchronised reply (leap not 3) comes back.
    bool WaitAnswering() {
        int fd = socket(AF_INET, SOCK_DGRAM, 0);
        timeval tv{0, 100000};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port_));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bool ok = false;
        for (int i = 0; i < 150 && !ok; ++i) {
            char req[48] = {0x1B};
            req[40] = 1;  // a non-zero transmit timestamp
            sendto(fd, req, sizeof req, 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
            unsigned char rep[48];
            ok = recv(fd, rep, sizeof rep, 0) == 48 && (rep[0] >> 6) != 3;
            if (!ok) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        close(fd);
        return ok;
    }

    TTempDir dir_;
    pid_t pid_ = 0;
    int port_ = 0;
    bool ready_ = false;
};

}  // namespace testing_support
