// The desktop's real-time kit, the real rtkit-daemon, on a bus of its own (tests/serial/private_kit.py,
// run as root): for the tests and benchmarks of an ordinary user's serial threads. Stopped when it
// goes out of scope, by closing the script's input; the script stops the kit and its bus by PID.
#pragma once

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

extern char** environ;

namespace testing_support {

class TPrivateRealtimeKit {
public:
    explicit TPrivateRealtimeKit(const std::string& script) {
        int in[2], out[2];
        if (pipe(in) != 0) return;
        if (pipe(out) != 0) {
            close(in[0]);
            close(in[1]);
            return;
        }
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, in[0], 0);
        posix_spawn_file_actions_adddup2(&fa, out[1], 1);
        posix_spawn_file_actions_addclose(&fa, in[1]);
        posix_spawn_file_actions_addclose(&fa, out[0]);
        // A group of its own: what it started can be ended with it, should it not end by itself.
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attr, 0);
        const char* argv[] = {"python3", script.c_str(), nullptr};
        if (posix_spawn(&pid_, "/usr/bin/python3", &fa, &attr, const_cast<char**>(argv), environ) != 0) pid_ = -1;
        posix_spawnattr_destroy(&attr);
        posix_spawn_file_actions_destroy(&fa);
        close(in[0]);
        close(out[1]);
        input_ = in[1];
        // The address, once the kit answers on the bus; nothing when the script gives up.
        pollfd p{out[0], POLLIN, 0};
        char c = 0;
        while (pid_ > 0 && poll(&p, 1, 10000) == 1 && read(out[0], &c, 1) == 1 && c != '\n') address_ += c;
        if (c != '\n') address_.clear();
        close(out[0]);
    }
    ~TPrivateRealtimeKit() {
        if (input_ >= 0) close(input_);
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            if (!WaitFor(pid_, 20, nullptr)) {
                kill(-pid_, SIGKILL);
                waitpid(pid_, nullptr, 0);
            }
        }
    }

    // Waits up to `seconds` for a child to end; false if it has not.
    static bool WaitFor(pid_t child, int seconds, int* status) {
        for (int i = 0; i < seconds * 100; ++i) {
            const pid_t r = waitpid(child, status, WNOHANG);
            if (r == child || (r < 0 && errno != EINTR)) return r == child;
            usleep(10000);
        }
        return false;
    }
    TPrivateRealtimeKit(const TPrivateRealtimeKit&) = delete;
    TPrivateRealtimeKit& operator=(const TPrivateRealtimeKit&) = delete;

    // Empty when no kit could be started here (not root, no rtkit-daemon).
    const std::string& Address() const { return address_; }

private:
    pid_t pid_ = -1;
    int input_ = -1;
    std::string address_;
};

}  // namespace testing_support
