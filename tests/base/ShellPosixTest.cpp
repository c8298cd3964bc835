// The desktop's opener, replaced on PATH by scripts that stand for a desktop with and without a
// program for the file.
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "base/CallQueue.h"
#include "base/Shell.h"
#include "tests/TestDir.h"

namespace {

TEST(ShellPosixTest, a_desktop_with_no_program_for_the_file_is_reported_on_the_ui_thread) {
    testing_support::TTempDir dir;
    std::ofstream(dir / "time.txt") << "x";
    const std::string saved = std::getenv("PATH");
    setenv("PATH", dir.Path().c_str(), 1);
    base::TShell& shell = base::SystemShell();
    std::vector<std::string> told;
    shell.NoViewer = [&](const std::string& path) { told.push_back(path); };
    auto waitForReports = [&](size_t n) {  // at most 10 s
        auto late = std::make_shared<std::atomic<bool>>(false);
        std::thread([late] {
            std::this_thread::sleep_for(std::chrono::seconds(10));
            base::TCallQueue::Main().Post([late] { *late = true; });
        }).detach();
        base::TCallQueue::Main().RunUntil([&] { return told.size() >= n || *late; });
    };

    // No opener at all, then one that finds no program (xdg-open's exit code 3): each reported once.
    EXPECT_TRUE(shell.Open(dir / "time.txt"));
    waitForReports(1);
    std::ofstream(dir / "xdg-open") << "#!/bin/sh\necho \"$1\" > \"${0%/*}/asked\"\nexit 3\n";
    ::chmod((dir / "xdg-open").c_str(), 0755);
    EXPECT_TRUE(shell.Open(dir / "time.txt"));
    waitForReports(2);
    EXPECT_EQ(told, (std::vector<std::string>{dir / "time.txt", dir / "time.txt"}));
    std::string asked;
    std::getline(std::ifstream(dir / "asked"), asked);
    EXPECT_EQ(asked, dir / "time.txt");

    // A missing file is refused at once, the opener never asked.
    EXPECT_FALSE(shell.Open(dir / "none.txt"));
    setenv("PATH", saved.c_str(), 1);
    shell.NoViewer = nullptr;
}

}  // namespace
