// Text files the way the program's run-time layer treats them: one operation per open, every failure
// raised as an I/O error with the classic run-time codes and texts.
#pragma once

#include <stdexcept>
#include <string>

namespace base {

// Run-time I/O error: 2 file not found, 3 invalid filename (or path), 4 too many open files,
// 5 access denied, 100 read past end, 101 disk full, 106 invalid numeric input, others by number.
class EInOutError : public std::runtime_error {
public:
    explicit EInOutError(int code);
    int ErrorCode() const { return code_; }

private:
    int code_;
};

std::string InOutErrorText(int code);

#ifndef _WIN32
// Maps an errno value of a failed file call to the run-time I/O error code. `creating` tells a
// missing directory on the way to a new file (3) from a missing file (2).
int InOutErrorFromErrno(int err, bool creating);
#endif

bool FileExists(const std::string& path);

// Appends the bytes with a single write to the file, creating it when missing, and returns once
// they are on the device (flushed; a new file's folder entry too). A short write or a failed flush
// is undone (the file is cut back to its old length) and reported, a short write as "Disk full";
// close is checked.
void AppendToFile(const std::string& path, const std::string& bytes);

// Replaces the file whole with the bytes, or not at all: they are written to "<path>.new" and
// moved over the file only when written, flushed and closed. The file keeps its permissions and
// owner. A file without write permission is refused ("File access denied"), also to root.
void RewriteFile(const std::string& path, const std::string& bytes);

// Deletes the file; one that is not there is no failure.
void RemoveFile(const std::string& path);

// Whether a file can be made in the folder (one is made and removed to find out).
bool FolderWritable(const std::string& dir);

// Makes the folder and every missing folder above it.
void MakeDirectories(const std::string& path);

// Reads the whole file.
std::string ReadWholeFile(const std::string& path);

}  // namespace base
