/* modem_lines.c: preloaded into wine by tests/wine/pty_com.py, it gives the test's pseudo-terminal
 * the CTS line a real serial port has. A pty has no modem lines: the kernel answers TIOCMGET with
 * ENOTTY, so wine can neither wait for nor read a line change on it.
 *
 * For the one terminal whose device is TEMPIX_LINES_TTY, TIOCMGET is answered from a schedule in
 * the file TEMPIX_LINES_FILE, read afresh at each call: lines of "UNIX_US LEVEL", the wall-clock
 * time (microseconds since 1970) from which CTS is on (1) or off (0). At any moment CTS has the
 * level of the last entry whose time has passed (off before the first). The test writes the
 * schedule ahead of time, so the edges come when it said, whoever looks.
 *
 * Wine finds a line change by reading the lines about once a millisecond while a wait is armed
 * (it does not use the interrupt counters of TIOCGICOUNT for them, and takes their failure to mean
 * that bytes are told by the input queue, so that call is left to fail as on any pty). Every other
 * descriptor and call is passed on untouched. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

typedef int (*ioctl_fn)(int, unsigned long, ...);

static ioctl_fn real_ioctl(void) {
    static ioctl_fn fn;
    if (!fn) fn = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");
    return fn;
}

static int is_the_test_pty(int fd) {
    const char* tty = getenv("TEMPIX_LINES_TTY");
    struct stat want, have;
    if (!tty || stat(tty, &want) != 0 || fstat(fd, &have) != 0) return 0;
    return S_ISCHR(have.st_mode) && have.st_rdev == want.st_rdev;
}

/* The CTS level now. */
static int cts_now(void) {
    int level = 0;
    const char* path = getenv("TEMPIX_LINES_FILE");
    FILE* f = path ? fopen(path, "r") : NULL;
    if (!f) return 0;
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    const long long now = (long long)ts.tv_sec * 1000000 + ts.tv_nsec / 1000;
    long long at;
    int on;
    while (fscanf(f, "%lld %d", &at, &on) == 2 && at <= now) level = on != 0;
    fclose(f);
    return level;
}

int ioctl(int fd, unsigned long request, ...) {
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    if (request == TIOCMGET && is_the_test_pty(fd)) {
        *(int*)arg = cts_now() ? TIOCM_CTS : 0;
        return 0;
    }
    return real_ioctl()(fd, request, arg);
}
