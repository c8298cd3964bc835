// A pseudo-terminal pair for serial tests: the test holds the master, the port opens the slave's path.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

namespace testing_support {

class TPty {
public:
    TPty() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) path_ = ptsname(master_);
    }
    ~TPty() { HangUp(); }
    TPty(const TPty&) = delete;
    TPty& operator=(const TPty&) = delete;

    bool Ok() const { return master_ >= 0 && !path_.empty(); }
    const std::string& Path() const { return path_; }
    int Master() const { return master_; }
    bool Send(const std::string& bytes) const {
        return write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    // Closing the master hangs the slave up.
    void HangUp() {
        if (master_ >= 0) close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    std::string path_;
};

}  // namespace testing_support
