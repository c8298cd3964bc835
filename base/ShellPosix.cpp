#include <cerrno>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/Shell.h"
#include "base/TextFile.h"

namespace base {

namespace {

// Starts xdg-open on the file, detached (a grandchild, so nothing is left to reap). Reports failure
// when the file is missing or xdg-open cannot be started.
bool XdgOpen(const std::string& path) {
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
        int devnull = ::open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            ::dup2(devnull, 0);
            ::dup2(devnull, 1);
            ::dup2(devnull, 2);
        }
        ::execlp("xdg-open", "xdg-open", path.c_str(), static_cast<char*>(nullptr));
        char failed = 1;
        (void)!::write(fds[1], &failed, 1);
        _exit(127);
    }
    ::close(fds[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    char failed = 0;
    ssize_t n;
    do {
        n = ::read(fds[0], &failed, 1);  // EOF when exec succeeded (close-on-exec)
    } while (n < 0 && errno == EINTR);
    ::close(fds[0]);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && n == 0;
}

class TPosixShell final : public TShell {
public:
    bool Open(const std::string& path) override { return XdgOpen(path); }
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
