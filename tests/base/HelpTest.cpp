#include <gtest/gtest.h>

#include <filesystem>

#include "base/Shell.h"
#include "tests/TestDir.h"

TEST(Help, the_book_beside_the_help_file_its_contents_and_topics) {
    testing_support::TTempDir dir;
    base::TRecordingShell shell;
    base::TBookHelp help(shell);
    const std::string helpFile = dir / "TEMPIX.HLP";
    EXPECT_FALSE(help.ShowContents(helpFile));  // no book: nothing opened
    EXPECT_TRUE(shell.Opened.empty());

    std::filesystem::create_directory(dir / "help");
    testing_support::Spit(dir / "help/index.html", "<html></html>");
    testing_support::Spit(dir / "help/ID_Dodatek.html", "<html></html>");
    EXPECT_TRUE(help.ShowContents(helpFile));
    EXPECT_TRUE(help.ShowTopic(helpFile, "ID_Dodatek"));
    EXPECT_FALSE(help.ShowTopic(helpFile, "ID_Brak"));
    EXPECT_EQ(shell.Opened, (std::vector<std::string>{dir / "help/index.html", dir / "help/ID_Dodatek.html"}));
    shell.Succeed = false;  // the shell cannot open it
    EXPECT_FALSE(help.ShowContents(helpFile));
    EXPECT_EQ(base::HelpBookPage("TEMPIX.HLP"), "help/index.html");
}
