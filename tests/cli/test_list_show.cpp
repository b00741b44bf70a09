#include <gtest/gtest.h>

#include <filesystem>

#include "cli/cli_runner.h"
#include "cli/field_escape.h"

namespace kestrune {
namespace {

using test::readFile;
using test::writeFile;

using Outcome = test::CliOutcome;
using test::runCli;

class ListShowTest : public test::ScratchTest {
  protected:
    std::string treeFile() const { return scratch.file("kestrune.dll"); }
    std::string settingsFile() const { return scratch.file("Setting.cfg"); }
};

TEST_F(ListShowTest, ListWithoutATreeFileShowsTheDefaultTree) {
    const Outcome result = runCli(scratch, "list");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "All Tasks\n  Desktop Tidy\nYou Have 1 Task\n");
    EXPECT_FALSE(std::filesystem::exists(treeFile()));
    EXPECT_FALSE(std::filesystem::exists(settingsFile()));
}

TEST_F(ListShowTest, ListIndentsByLevelAndCountsTasks) {
    writeFile(treeFile(), "A\r\n\tB\\b\r\n\t\tC\tc\r\nD\r\n");
    EXPECT_EQ(runCli(scratch, "list").out, "A\n  B\\\\b\n    C\\tc\nD\nYou Have 2 Tasks\n");
    writeFile(treeFile(), "Only\r\nRoots\r\n");
    EXPECT_EQ(runCli(scratch, "list").out, "Only\nRoots\nYou Have 0 Task\n");
    writeFile(treeFile(), "");
    EXPECT_EQ(runCli(scratch, "list").out, "You Have 0 Task\n");
}

TEST_F(ListShowTest, ListOfABrokenTreeFileFailsWithItsError) {
    writeFile(treeFile(), "A\r\n\t\tB\r\n");
    const Outcome result = runCli(scratch, "list");
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "Invalid level (2) for item \"B\"\n");
    EXPECT_EQ(readFile(treeFile()), "A\r\n\t\tB\r\n");
    // A folder in the tree file's place is no tree: the default one would hide it.
    std::filesystem::remove(treeFile());
    std::filesystem::create_directory(treeFile());
    const Outcome folder = runCli(scratch, "list");
    EXPECT_EQ(folder.status, 2);
    EXPECT_EQ(folder.out, "");
    EXPECT_EQ(folder.err, "Cannot open file \"" + treeFile() + "\". Is a directory\n");
}

TEST_F(ListShowTest, ShowPrintsTheRecordAsARunReadsIt) {
    const std::string content =
        "[Desktop Tidy]\ns_folder=C:\\Data\nt_folder=D:\\\nsublevel=0x3\nactions=1\n"
        "filters=*.txt;*.doc\nfolderstruct=$10\nSubFolder= {year}/{month} \nMINSIZE=10M\n"
        "exclude=drafts;*.bak\nrename={name}\\{ext}\nevery=5\n";
    writeFile(settingsFile(), content);
    const Outcome result = runCli(scratch, "show 'desktop tidy'");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out,
              "s_folder=C:\\\\Data\nt_folder=D:\\\\\nactions=1\nsublevel=3\n"
              "filters=*.txt;*.doc\nfolderstruct=1\nnames=\nexclude=drafts;*.bak\n"
              "minsize=10M\nmaxsize=\nolderthan=\nnewerthan=\nfilesonly=0\n"
              "subfolder={year}/{month}\nrename={name}\\\\{ext}\nskipsame=0\nwatch=0\nevery=5\n");
    EXPECT_EQ(readFile(settingsFile()), content);
}

TEST_F(ListShowTest, WhereTellsTheFolderInUseAndWhy) {
    EXPECT_EQ(runCli(scratch, "where").out, cli::field(scratch.folder()) + "\nnamed by --folder\n");
}

TEST_F(ListShowTest, ShowUsesTheRunDefaults) {
    writeFile(settingsFile(), "[T]\nsublevel=3a\n");
    EXPECT_EQ(runCli(scratch, "show T").out,
              "s_folder=\nt_folder=\nactions=0\nsublevel=0\nfilters=\nfolderstruct=0\nnames=\n"
              "exclude=\nminsize=\nmaxsize=\nolderthan=\nnewerthan=\nfilesonly=0\nsubfolder=\n"
              "rename=\nskipsame=0\nwatch=0\nevery=0\n");
}

TEST_F(ListShowTest, ShowOfAMissingRecordFails) {
    writeFile(settingsFile(), "[Empty]\n");
    for (const char* name : {"Empty", "Nothing"}) {
        const Outcome result = runCli(scratch, std::string("show ") + name);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err.find(name), std::string::npos);
    }
    EXPECT_FALSE(std::filesystem::exists(treeFile()));
}

}  // namespace
}  // namespace kestrune
