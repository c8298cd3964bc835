#include "base/TextFile.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include "tests/TestDir.h"

using base::EInOutError;
using testing_support::Slurp;
using testing_support::Spit;
using testing_support::TTempDir;

TEST(TextFileTest, error_texts_follow_the_run_time_table) {
    EXPECT_STREQ(EInOutError(2).what(), "File not found");
    EXPECT_STREQ(EInOutError(3).what(), "Invalid filename");
    EXPECT_STREQ(EInOutError(4).what(), "Too many open files");
    EXPECT_STREQ(EInOutError(5).what(), "File access denied");
    EXPECT_STREQ(EInOutError(100).what(), "Read beyond end of file");
    EXPECT_STREQ(EInOutError(101).what(), "Disk full");
    EXPECT_STREQ(EInOutError(106).what(), "Invalid numeric input");
    EXPECT_STREQ(EInOutError(1117).what(), "I/O error 1117");
}

#ifndef _WIN32
TEST(TextFileTest, errno_maps_to_the_windows_codes) {
    EXPECT_EQ(base::InOutErrorFromErrno(ENOENT, false), 2);
    EXPECT_EQ(base::InOutErrorFromErrno(ENOENT, true), 3);
    EXPECT_EQ(base::InOutErrorFromErrno(ENOTDIR, false), 3);
    EXPECT_EQ(base::InOutErrorFromErrno(EMFILE, false), 4);
    EXPECT_EQ(base::InOutErrorFromErrno(EROFS, false), 5);
    EXPECT_EQ(base::InOutErrorFromErrno(EACCES, true), 5);
    EXPECT_EQ(base::InOutErrorFromErrno(ENOSPC, false), 101);
}
#endif

TEST(TextFileTest, append_creates_then_appends_without_touching_earlier_bytes) {
    TTempDir dir;
    base::AppendToFile(dir / "a.txt", "one\r\n");
    base::AppendToFile(dir / "a.txt", "two\r\n");
    EXPECT_EQ(Slurp(dir / "a.txt"), "one\r\ntwo\r\n");
}

TEST(TextFileTest, append_into_a_missing_folder_is_an_invalid_filename) {
    TTempDir dir;
    try {
        base::AppendToFile(dir / "no/such/a.txt", "x");
        FAIL();
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode(), 3);
    }
}

#ifndef _WIN32
TEST(TextFileTest, full_disk_is_reported_as_disk_full) {
    try {
        base::AppendToFile("/dev/full", "x");
        FAIL();
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode(), 101);
        EXPECT_STREQ(e.what(), "Disk full");
    }
}
#endif

TEST(TextFileTest, read_only_file_is_access_denied_and_keeps_its_content) {
    if (testing_support::RunningAsRoot()) GTEST_SKIP() << "root writes read-only files";
    TTempDir dir;
    Spit(dir / "ro.txt", "old\r\n");
#ifdef _WIN32
    SetFileAttributesA((dir / "ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE probe = CreateFileA((dir / "ro.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        GTEST_SKIP() << "read-only files are writable here (wine run as root)";
    }
#else
    ::chmod((dir / "ro.txt").c_str(), 0444);
#endif
    try {
        base::AppendToFile(dir / "ro.txt", "new\r\n");
        FAIL();
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode(), 5);
    }
    EXPECT_EQ(Slurp(dir / "ro.txt"), "old\r\n");
}

TEST(TextFileTest, rewrite_replaces_and_read_returns_every_byte) {
    TTempDir dir;
    Spit(dir / "f.dat", "a long old content");
    base::RewriteFile(dir / "f.dat", std::string("x\0y\r\n", 5));
    EXPECT_EQ(base::ReadWholeFile(dir / "f.dat"), std::string("x\0y\r\n", 5));
    try {
        base::ReadWholeFile(dir / "missing.dat");
        FAIL();
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode(), 2);
    }
}

TEST(TextFileTest, a_folder_is_no_file) {
    TTempDir dir;
    EXPECT_FALSE(base::FileExists(dir.Path()));
    EXPECT_THROW(base::AppendToFile(dir.Path(), "x"), EInOutError);
}
