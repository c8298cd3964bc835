// Text files on POSIX: a settings file whose save fails half-way keeps its old bytes; files made
// through sudo.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <sys/resource.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "base/TextFile.h"
#include "tests/TestDir.h"

using base::EInOutError;
using testing_support::Slurp;
using testing_support::Spit;
using testing_support::TTempDir;

TEST(TextFilePosixTest, a_rewrite_cut_short_leaves_the_old_file_and_no_leftover) {
    TTempDir dir;
    Spit(dir / "userfont.dat", "238\r\nArial\r\n");
    // A file size limit makes the write come up short, as a full disk would.
    rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 8;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int code = 0;
    try {
        base::RewriteFile(dir / "userfont.dat", std::string(200, 'x'));
    } catch (const EInOutError& e) {
        code = e.ErrorCode();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(code, 101);
    EXPECT_EQ(Slurp(dir / "userfont.dat"), "238\r\nArial\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);

    base::RewriteFile(dir / "userfont.dat", "new\r\n");
    EXPECT_EQ(Slurp(dir / "userfont.dat"), "new\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

// Run through sudo: what the program creates belongs to the user who ran it, so that their own runs
// can write it later, and a file it rewrites keeps its owner. A file without write bits is refused
// to root as well.
TEST(TextFilePosixTest, files_made_through_sudo_belong_to_the_user_who_ran_it) {
    if (!testing_support::RunningAsRoot()) GTEST_SKIP() << "needs root";
    TTempDir dir;
    ::setenv("SUDO_UID", "65534", 1);
    ::setenv("SUDO_GID", "65533", 1);
    base::AppendToFile(dir / "time.txt", "record\r\n");
    base::RewriteFile(dir / "userfont.dat", "238\r\n");
    base::MakeDirectories(dir / "home/.local/share/tempix/");
    Spit(dir / "usercom.dat", "COM1\r\n");
    ASSERT_EQ(::chown((dir / "usercom.dat").c_str(), 4321, 4322), 0);
    base::RewriteFile(dir / "usercom.dat", "COM2\r\n");
    ::unsetenv("SUDO_UID");
    ::unsetenv("SUDO_GID");
    auto owner = [](const std::string& path) {
        struct stat st {};
        ::stat(path.c_str(), &st);
        return std::make_pair(st.st_uid, st.st_gid);
    };
    EXPECT_EQ(owner(dir / "time.txt"), std::make_pair(65534u, 65533u));
    EXPECT_EQ(owner(dir / "userfont.dat"), std::make_pair(65534u, 65533u));
    EXPECT_EQ(owner(dir / "home/.local/share/tempix"), std::make_pair(65534u, 65533u));
    EXPECT_EQ(owner(dir / "usercom.dat"), std::make_pair(4321u, 4322u));
    ::chmod((dir / "usercom.dat").c_str(), 0444);
    EXPECT_THROW(base::RewriteFile(dir / "usercom.dat", "COM3\r\n"), EInOutError);
    EXPECT_EQ(Slurp(dir / "usercom.dat"), "COM2\r\n");
}
