#include <gtest/gtest.h>

#include <sys/wait.h>
#include <array>
#include <cstdio>
#include <filesystem>

#include "support/scratch_dir.h"

namespace kestrune {
namespace {

using test::readFile;
using test::writeFile;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the built kestrune-cli as a user would, capturing both streams and the exit status.
Outcome runCli(const test::ScratchDir& scratch, const std::string& arguments) {
    const std::string errFile = scratch.file("stderr.txt");
    const std::string command = std::string(KESTRUNE_CLI_PATH) + " --folder '" + scratch.folder() +
                                "' " + arguments + " 2>'" + errFile + "'";
    Outcome outcome;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return outcome;
    std::array<char, 4096> buffer{};
    std::size_t got = 0;
    while ((got = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        outcome.out.append(buffer.data(), got);
    const int status = pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.err = readFile(errFile);
    std::filesystem::remove(errFile);
    return outcome;
}

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
    writeFile(treeFile(), "A\r\n\tB\r\n\t\tC\r\nD\r\n");
    EXPECT_EQ(runCli(scratch, "list").out, "A\n  B\n    C\nD\nYou Have 2 Tasks\n");
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
}

TEST_F(ListShowTest, ShowPrintsTheRecordAsARunReadsIt) {
    const std::string content =
        "[Desktop Tidy]\ns_folder=C:\\Data\nt_folder=D:\\\nsublevel=0x3\nactions=1\n"
        "filters=*.txt;*.doc\nfolderstruct=$10\n";
    writeFile(settingsFile(), content);
    const Outcome result = runCli(scratch, "show 'desktop tidy'");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out,
              "s_folder=C:\\Data\nt_folder=D:\\\nactions=1\nsublevel=3\nfilters=*.txt;*.doc\n"
              "folderstruct=1\n");
    EXPECT_EQ(readFile(settingsFile()), content);
}

TEST_F(ListShowTest, ShowUsesTheRunDefaults) {
    writeFile(settingsFile(), "[T]\nsublevel=3a\n");
    EXPECT_EQ(runCli(scratch, "show T").out,
              "s_folder=\nt_folder=\nactions=0\nsublevel=0\nfilters=\nfolderstruct=0\n");
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
