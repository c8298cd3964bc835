#include "base/ExeDir.h"

#include <climits>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace base {

std::string ExecutableDirectory() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "./";
    std::string path(buf, static_cast<size_t>(n));
    return path.substr(0, path.rfind('/') + 1);
}

namespace {

std::string HomeOf(uid_t uid) {
    const passwd* pw = ::getpwuid(uid);
    return pw && pw->pw_dir ? pw->pw_dir : "";
}

bool Absolute(const char* path) { return path && path[0] == '/'; }

}  // namespace

std::string UserDataDirectory() {
    std::string data;
    const char* sudoUid = std::getenv("SUDO_UID");
    if (::geteuid() == 0 && sudoUid && *sudoUid) {
        // sudo keeps root's own home and data folder in the environment: the user's are looked up.
        char* end = nullptr;
        const unsigned long uid = std::strtoul(sudoUid, &end, 10);
        const std::string home = *end == 0 && uid != 0 ? HomeOf(static_cast<uid_t>(uid)) : "";
        if (!home.empty()) data = home + "/.local/share";
    }
    if (data.empty()) {
        const char* xdg = std::getenv("XDG_DATA_HOME");
        const char* home = std::getenv("HOME");
        if (Absolute(xdg)) data = xdg;
        else if (Absolute(home)) data = std::string(home) + "/.local/share";
        else if (std::string h = HomeOf(::geteuid()); !h.empty()) data = h + "/.local/share";
        else return "";
    }
    while (data.size() > 1 && data.back() == '/') data.pop_back();
    return data + "/tempix/";
}

}  // namespace base
