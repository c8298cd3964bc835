#include "app/RecordKeeper.h"

#include <atomic>
#include <filesystem>

#include <gtest/gtest.h>

#include "base/TextFile.h"
#include "tests/TestDir.h"

using namespace app;
using namespace std::chrono_literals;
using testing_support::Slurp;
using testing_support::Spit;
using testing_support::TTempDir;

namespace {

std::string Record(int n) { return "   14:05:0" + std::to_string(n) + ",187 UT   (07-12-2026)\r\n"; }

}  // namespace

// A log that cannot be written (a folder in its place, which no permission lets anyone write) holds
// up neither the other log nor later records; it is told once, and its records are written in
// order, byte for byte, as soon as it can be written, by the keeper's own retry.
TEST(RecordKeeperTest, a_log_that_fails_keeps_its_records_and_writes_them_in_order_when_it_can) {
    TTempDir dir;
    std::filesystem::create_directory(dir / "time.txt");
    std::atomic<int> changes{0};
    TRecordKeeper keeper(dir / "data/unwritten.dat", [&] { ++changes; });
    for (int n = 1; n <= 3; ++n) {
        keeper.Add(dir / "time.txt", Record(n));
        keeper.Add(dir / "temp.txt", Record(n));
    }
    EXPECT_FALSE(keeper.WaitWritten(5s));
    EXPECT_EQ(Slurp(dir / "temp.txt"), Record(1) + Record(2) + Record(3));
    const std::optional<TLogFailure> failure = keeper.TakeFailure();
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->Path, dir / "time.txt");
    EXPECT_EQ(FailureReportText(*failure),
              "File access denied.\r\nCzas został zachowany i zostanie dopisany do pliku " + dir.Path() +
                  "time.txt, gdy tylko będzie można do niego pisać.");
    EXPECT_FALSE(keeper.TakeFailure());  // once an episode
    EXPECT_EQ(keeper.State().Waiting, 3u);
    EXPECT_TRUE(keeper.State().Failing);
    // Kept where a crash would not lose them, until they are written.
    std::vector<TWaitingRecord> kept;
    ASSERT_TRUE(ParseRecovery(Slurp(dir / "data/unwritten.dat"), kept));
    EXPECT_EQ(kept.size(), 3u);

    std::filesystem::remove(dir / "time.txt");
    EXPECT_TRUE(keeper.WaitWritten(5s));
    keeper.Add(dir / "time.txt", Record(4));
    EXPECT_TRUE(keeper.WaitWritten(5s));
    EXPECT_EQ(Slurp(dir / "time.txt"), Record(1) + Record(2) + Record(3) + Record(4));
    EXPECT_FALSE(keeper.State().Failing);
    EXPECT_FALSE(base::FileExists(dir / "data/unwritten.dat"));
    EXPECT_GT(changes.load(), 0);
}

// What waits at the end (the window closed, or the program killed) is written at the next start,
// before anything of that run.
TEST(RecordKeeperTest, records_left_waiting_are_written_first_at_the_next_start) {
    TTempDir dir;
    std::filesystem::create_directory(dir / "time.txt");
    {
        TRecordKeeper keeper(dir / "unwritten.dat", nullptr);
        keeper.Add(dir / "time.txt", Record(1));
        keeper.Add(dir / "time.txt", Record(2));
        EXPECT_FALSE(keeper.WaitWritten(5s));
    }
    std::filesystem::remove(dir / "time.txt");
    Spit(dir / "time.txt", Record(0));
    TRecordKeeper keeper(dir / "unwritten.dat", nullptr);
    keeper.Add(dir / "time.txt", Record(3));
    ASSERT_TRUE(keeper.WaitWritten(5s));
    EXPECT_EQ(Slurp(dir / "time.txt"), Record(0) + Record(1) + Record(2) + Record(3));
    EXPECT_FALSE(base::FileExists(dir / "unwritten.dat"));
}

// A recovery file cut short or scribbled over: what can be read is written, and the file is kept
// aside whole, never overwritten.
TEST(RecordKeeperTest, a_damaged_recovery_file_gives_what_it_can_and_is_kept) {
    TTempDir dir;
    const std::string good = RecoveryBytes({{dir / "time.txt", Record(1)}});
    Spit(dir / "unwritten.dat", good + "12 35\nshort");
    TRecordKeeper keeper(dir / "unwritten.dat", nullptr);
    ASSERT_TRUE(keeper.WaitWritten(5s));
    EXPECT_EQ(Slurp(dir / "time.txt"), Record(1));
    EXPECT_EQ(keeper.TakeDamagedRecovery(), dir / "unwritten.dat.damaged");
    EXPECT_EQ(Slurp(dir / "unwritten.dat.damaged"), good + "12 35\nshort");
}

TEST(RecordKeeperTest, a_sharing_violation_names_the_other_program) {
    EXPECT_EQ(FailureReportText({"C:\\Tempix\\time.txt", 32, "I/O error 32"}),
              "I/O error 32.\r\nPlik C:\\Tempix\\time.txt jest otwarty w innym programie, który nie pozwala do niego "
              "pisać. Czas został zachowany i zostanie dopisany do pliku C:\\Tempix\\time.txt, gdy tylko będzie "
              "można do niego pisać.");
}
