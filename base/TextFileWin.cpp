// Text files through the Win32 file API. Failures carry GetLastError's code, which is the run-time
// I/O error code; a full disk reads "Disk full" whichever way the system says it.
#include <windows.h>

#include "base/TextFile.h"
#include "base/Win32Text.h"

namespace base {

namespace {

int IoCode(DWORD err) {
    switch (err) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return 101;
    default: return static_cast<int>(err);
    }
}

class THandle {
public:
    explicit THandle(HANDLE h) : h_(h) {}
    ~THandle() {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;
    HANDLE Get() const { return h_; }
    void Close() {
        HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        if (!CloseHandle(h)) throw EInOutError(IoCode(GetLastError()));
    }

private:
    HANDLE h_;
};

HANDLE OpenOrThrow(const std::string& path, DWORD access, DWORD disposition) {
    HANDLE h = CreateFileW(Utf8ToWide(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) throw EInOutError(IoCode(GetLastError()));
    return h;
}

void WriteAll(HANDLE h, const std::string& bytes, LONGLONG restoreTo) {
    if (bytes.empty()) return;
    DWORD written = 0;
    BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if (ok && written == bytes.size()) return;
    int code = ok ? 101 : IoCode(GetLastError());
    // Never leave half a record behind: what was there before stays exactly as it was.
    if (written > 0 && restoreTo >= 0) {
        LARGE_INTEGER at;
        at.QuadPart = restoreTo;
        if (SetFilePointerEx(h, at, nullptr, FILE_BEGIN)) SetEndOfFile(h);
    }
    throw EInOutError(code);
}

// Waits until what was written is on the device. Only disk files have anything to flush. A flush
// that fails may have lost the bytes: they are taken back as a short write is, to be written again.
void FlushToDevice(HANDLE h, LONGLONG restoreTo) {
    if (GetFileType(h) != FILE_TYPE_DISK || FlushFileBuffers(h)) return;
    const int code = IoCode(GetLastError());
    if (restoreTo >= 0) {
        LARGE_INTEGER at;
        at.QuadPart = restoreTo;
        if (SetFilePointerEx(h, at, nullptr, FILE_BEGIN)) SetEndOfFile(h);
    }
    throw EInOutError(code);
}

}  // namespace

bool FileExists(const std::string& path) {
    DWORD a = GetFileAttributesW(Utf8ToWide(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

void AppendToFile(const std::string& path, const std::string& bytes) {
    THandle h(OpenOrThrow(path, GENERIC_WRITE, OPEN_ALWAYS));
    LARGE_INTEGER size{};
    LARGE_INTEGER zero{};
    if (!SetFilePointerEx(h.Get(), zero, &size, FILE_END)) throw EInOutError(IoCode(GetLastError()));
    WriteAll(h.Get(), bytes, size.QuadPart);
    FlushToDevice(h.Get(), size.QuadPart);
    h.Close();
}

void RewriteFile(const std::string& path, const std::string& bytes) {
    // Written whole beside the old file, then moved over it: a save that fails or is cut short
    // leaves the old file as it was.
    const std::string temp = path + ".new";
    try {
        THandle h(OpenOrThrow(temp, GENERIC_WRITE, CREATE_ALWAYS));
        WriteAll(h.Get(), bytes, -1);
        FlushToDevice(h.Get(), -1);
        h.Close();
        if (!MoveFileExW(Utf8ToWide(temp).c_str(), Utf8ToWide(path).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            throw EInOutError(IoCode(GetLastError()));
    } catch (const EInOutError&) {
        DeleteFileW(Utf8ToWide(temp).c_str());
        throw;
    }
}

bool FolderWritable(const std::string& dir) {
    const std::wstring probe = Utf8ToWide(dir) + L".tempix-probe-" + std::to_wstring(GetCurrentProcessId());
    HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

void RemoveFile(const std::string& path) {
    if (DeleteFileW(Utf8ToWide(path).c_str())) return;
    const DWORD err = GetLastError();
    if (err != ERROR_FILE_NOT_FOUND && err != ERROR_PATH_NOT_FOUND) throw EInOutError(IoCode(err));
}

void MakeDirectories(const std::string& path) {
    // Each folder on the way is made where missing. One that cannot be (a drive, a share's name)
    // is passed by: only the last one must come out as a folder.
    const std::wstring wide = Utf8ToWide(path);
    DWORD err = ERROR_SUCCESS;
    for (size_t i = 1; i <= wide.size(); ++i) {
        if (i < wide.size() && wide[i] != L'\\' && wide[i] != L'/') continue;
        err = CreateDirectoryW(wide.substr(0, i).c_str(), nullptr) ? ERROR_SUCCESS : GetLastError();
    }
    const DWORD a = GetFileAttributesW(wide.c_str());
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) return;
    throw EInOutError(IoCode(err == ERROR_SUCCESS || err == ERROR_ALREADY_EXISTS ? ERROR_PATH_NOT_FOUND : err));
}

std::string ReadWholeFile(const std::string& path) {
    THandle h(OpenOrThrow(path, GENERIC_READ, OPEN_EXISTING));
    std::string out;
    char buf[8192];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(h.Get(), buf, sizeof buf, &n, nullptr)) throw EInOutError(IoCode(GetLastError()));
        if (n == 0) break;
        out.append(buf, n);
    }
    h.Close();
    return out;
}

}  // namespace base
