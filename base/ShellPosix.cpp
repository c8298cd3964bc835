#include <cerrno>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "base/CallQueue.h"
#include "base/Shell.h"
#include "base/TextFile.h"

namespace base {

namespace {

// Starts xdg-open on the file, detached (a grandchild, so nothing is left to reap); false when the
// file is missing. The grandchild waits for xdg-open and sends back over a pipe whether it found a
// program for the file; a thread of ours reads that answer and hands a failure to the UI thread,
// so the window never waits for a viewer that stays in the foreground.
bool XdgOpen(const std::string& path, const std::function<void(const std::string&)>& noViewer) {
    if (!FileExists(path)) return false;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    pid_t child = ::fork();
    if (child < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    if (child == 0) {
        ::close(fds[0]);
        ::setsid();
        pid_t grand = ::fork();
        if (grand != 0) _exit(grand < 0 ? 1 : 0);
        pid_t opener = ::fork();
        if (opener == 0) {
            int devnull = ::open("/dev/null", O_RDWR);
            if (devnull >= 0) {
                ::dup2(devnull, 0);
                ::dup2(devnull, 1);
                ::dup2(devnull, 2);
            }
            ::execlp("xdg-open", "xdg-open", path.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        char opened = 0;
        if (opener > 0) {
            while (::waitpid(opener, &status, 0) < 0 && errno == EINTR) {
            }
            opened = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
        (void)!::write(fds[1], &opened, 1);
        _exit(0);
    }
    ::close(fds[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        ::close(fds[0]);
        return false;
    }
    std::thread([fd = fds[0], path, noViewer] {
        char opened = 1;
        ssize_t n;
        do {
            n = ::read(fd, &opened, 1);
        } while (n < 0 && errno == EINTR);
        ::close(fd);
        if (n == 1 && !opened && noViewer) TCallQueue::Main().Post([noViewer, path] { noViewer(path); });
    }).detach();
    return true;
}

class TPosixShell final : public TShell {
public:
    bool Open(const std::string& path) override { return XdgOpen(path, NoViewer); }
};

}  // namespace

TShell& SystemShell() {
    static TPosixShell shell;
    return shell;
}

THelp& SystemHelp() {
    static TBookHelp help(SystemShell());
    return help;
}

}  // namespace base
