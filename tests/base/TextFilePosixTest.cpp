// Text files on POSIX: a settings file whose save fails half-way keeps its old bytes.
#include <signal.h>
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
