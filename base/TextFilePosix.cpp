#include "base/TextFile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace base {

namespace {

class TFd {
public:
    explicit TFd(int fd) : fd_(fd) {}
    ~TFd() {
        if (fd_ >= 0) ::close(fd_);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return fd_; }
    // Closes and reports close's own failure (NFS and full disks report late write errors here).
    void Close() {
        int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0 && errno != EINTR) throw EInOutError(InOutErrorFromErrno(errno, false));
    }

private:
    int fd_;
};

int OpenOrThrow(const std::string& path, int flags, bool creating) {
    for (;;) {
        int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
        if (fd >= 0) return fd;
        if (errno != EINTR) throw EInOutError(InOutErrorFromErrno(errno, creating));
    }
}

// Run through sudo, the program works for the user who ran it: what it creates is theirs, so that
// their own runs can write it later. Nothing is changed for a program run as root itself.
std::optional<std::pair<uid_t, gid_t>> InvokingUser() {
    if (::geteuid() != 0) return std::nullopt;
    auto id = [](const char* name) -> std::optional<unsigned long> {
        const char* v = std::getenv(name);
        if (!v || !*v) return std::nullopt;
        char* end = nullptr;
        errno = 0;
        unsigned long n = std::strtoul(v, &end, 10);
        if (errno || *end || n == 0 || n >= 0xFFFFFFFFul) return std::nullopt;
        return n;
    };
    std::optional<unsigned long> uid = id("SUDO_UID"), gid = id("SUDO_GID");
    if (!uid || !gid) return std::nullopt;
    return std::make_pair(static_cast<uid_t>(*uid), static_cast<gid_t>(*gid));
}

void GiveToInvokingUser(int fd) {
    if (auto who = InvokingUser()) (void)!::fchown(fd, who->first, who->second);
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A new or renamed file's entry in its folder reaches the device only with the folder's own flush.
void SyncFolderOf(const std::string& path) {
    int fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);
    ::close(fd);
}

void WriteAll(int fd, const std::string& bytes, off_t restoreTo) {
    if (bytes.empty()) return;
    ssize_t n;
    do {
        n = ::write(fd, bytes.data(), bytes.size());
    } while (n < 0 && errno == EINTR);
    if (n == static_cast<ssize_t>(bytes.size())) return;
    int err = n < 0 ? errno : ENOSPC;
    // Never leave half a record behind: what was there before stays exactly as it was.
    if (n > 0 && restoreTo >= 0) (void)!::ftruncate(fd, restoreTo);
    throw EInOutError(InOutErrorFromErrno(err, false));
}

// Waits until what was written is on the device. A file that cannot be flushed (a pipe, a
// character device) has nothing to flush. A flush that fails may have lost the bytes: they are
// taken back as a short write is, to be written again whole.
void FlushToDevice(int fd, off_t restoreTo) {
    int r;
    do {
        r = ::fdatasync(fd);
    } while (r != 0 && errno == EINTR);
    if (r == 0 || errno == EINVAL || errno == EROFS) return;
    const int err = errno;
    if (restoreTo >= 0) (void)!::ftruncate(fd, restoreTo);
    throw EInOutError(InOutErrorFromErrno(err, false));
}

}  // namespace

// errno -> the Windows error code the same failure has there (and so the run-time text):
//   ENOENT 2 (3 when a new file's folder is missing), ENOTDIR/ENAMETOOLONG/ELOOP 3, EMFILE/ENFILE 4,
//   EACCES/EPERM/EROFS/EISDIR 5, ENOSPC/EDQUOT/EFBIG 101, EBUSY/ETXTBSY 32 (sharing violation),
//   EEXIST 80, EIO 1117 (I/O device error), EINVAL 87; anything else keeps its errno number.
int InOutErrorFromErrno(int err, bool creating) {
    switch (err) {
    case ENOENT: return creating ? 3 : 2;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return 3;
    case EMFILE:
    case ENFILE: return 4;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return 5;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return 101;
    case EBUSY:
    case ETXTBSY: return 32;
    case EEXIST: return 80;
    case EIO: return 1117;
    case EINVAL: return 87;
    default: return err;
    }
}

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

void AppendToFile(const std::string& path, const std::string& bytes) {
    bool exists = FileExists(path);
    TFd fd(OpenOrThrow(path, O_WRONLY | O_APPEND | (exists ? 0 : O_CREAT), !exists));
    if (!exists) GiveToInvokingUser(fd.Get());
    struct stat st;
    off_t size = ::fstat(fd.Get(), &st) == 0 && S_ISREG(st.st_mode) ? st.st_size : -1;
    WriteAll(fd.Get(), bytes, size);
    FlushToDevice(fd.Get(), size);
    fd.Close();
    if (!exists) SyncFolderOf(path);
}

void RewriteFile(const std::string& path, const std::string& bytes) {
    // Written whole beside the old file, then moved over it: a save that fails or is cut short
    // leaves the old file as it was.
    const std::string temp = path + ".new";
    // A file the user made read-only (no write bit) is refused, as Windows refuses it even to an
    // administrator, and so is one the user may not write: the move would replace it all the same.
    // Root may write anything, so for root the bits alone decide. The new file keeps the old one's
    // permissions and owner.
    struct stat old;
    const bool replacing = ::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    const bool root = ::geteuid() == 0;
    if (replacing && ((old.st_mode & 0222) == 0 || (!root && ::access(path.c_str(), W_OK) != 0)))
        throw EInOutError(InOutErrorFromErrno(EACCES, false));
    try {
        TFd fd(OpenOrThrow(temp, O_WRONLY | O_CREAT | O_TRUNC, true));
        if (replacing && root) (void)!::fchown(fd.Get(), old.st_uid, old.st_gid);
        else if (!replacing) GiveToInvokingUser(fd.Get());
        if (replacing) ::fchmod(fd.Get(), old.st_mode & 07777);
        WriteAll(fd.Get(), bytes, -1);
        FlushToDevice(fd.Get(), -1);
        fd.Close();
        if (::rename(temp.c_str(), path.c_str()) != 0) throw EInOutError(InOutErrorFromErrno(errno, true));
        SyncFolderOf(path);
    } catch (const EInOutError&) {
        ::unlink(temp.c_str());
        throw;
    }
}

bool FolderWritable(const std::string& dir) {
    const std::string probe = dir + ".tempix-probe-" + std::to_string(::getpid());
    int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

void RemoveFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) throw EInOutError(InOutErrorFromErrno(errno, false));
    SyncFolderOf(path);
}

void MakeDirectories(const std::string& path) {
    std::string done;
    size_t from = 0;
    while (from <= path.size()) {
        size_t slash = path.find('/', from);
        if (slash == std::string::npos) slash = path.size();
        done = path.substr(0, slash);
        from = slash + 1;
        if (done.empty()) continue;
        if (::mkdir(done.c_str(), 0777) == 0) {
            int fd = ::open(done.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (fd >= 0) {
                GiveToInvokingUser(fd);
                ::close(fd);
            }
            continue;
        }
        struct stat st;
        if (errno == EEXIST && ::stat(done.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
        throw EInOutError(InOutErrorFromErrno(errno == EEXIST ? ENOTDIR : errno, true));
    }
}

std::string ReadWholeFile(const std::string& path) {
    TFd fd(OpenOrThrow(path, O_RDONLY, false));
    std::string out;
    char buf[8192];
    for (;;) {
        ssize_t n = ::read(fd.Get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw EInOutError(InOutErrorFromErrno(errno, false));
        if (n == 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    fd.Close();
    return out;
}

}  // namespace base
