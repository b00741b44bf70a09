#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "cli/cli_runner.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using test::Outcome;
using test::readFile;
using test::runCli;
using test::writeFile;

// One line of a run's output: action, source, target and outcome, TAB-separated.
std::string entryLine(const std::string& action, const std::string& source,
                      const std::string& target, const std::string& outcome) {
    return action + "\t" + source + "\t" + target + "\t" + outcome + "\n";
}

class RunCommandTest : public test::ScratchTest {
  protected:
    std::string inbox() const { return scratch.file("Inbox"); }
    std::string sorted() const { return scratch.file("Sorted"); }
    void makeFile(const std::string& path, const std::string& content = "x") const {
        fs::create_directories(fs::path(path).parent_path());
        writeFile(path, content);
    }
    void makeInbox() const {
        makeFile(inbox() + "/a.txt", "a");
        makeFile(inbox() + "/b.doc", "b");
        makeFile(inbox() + "/Notes/c.txt", "c");
    }
    void writeRecord(const std::string& name, int action, const std::string& filters) const {
        writeFile(scratch.file("Setting.cfg"),
                  "[" + name + "]\ns_folder=" + inbox() + "\nt_folder=" + sorted() +
                      "\nactions=" + std::to_string(action) + "\nfilters=" + filters + "\n");
    }
};

TEST_F(RunCommandTest, PreviewPrintsOneLinePerEntryAndTouchesNothing) {
    makeInbox();
    writeRecord("Tidy", 1, "*.txt");
    const Outcome result = runCli(scratch, "run Tidy --preview");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(
        result.out,
        "task\tTidy\n" + entryLine("move", inbox() + "/a.txt", sorted() + "/a.txt", "planned") +
            entryLine("move", inbox() + "/Notes/c.txt", sorted() + "/Notes/c.txt", "planned") +
            "Planned 2 entries, 0 failed, in 1 task(s)\n");
    EXPECT_FALSE(fs::exists(sorted()));
    EXPECT_TRUE(fs::exists(inbox() + "/a.txt"));
}

TEST_F(RunCommandTest, RunPrintsEachEntryDoneAndTheSummary) {
    makeInbox();
    writeRecord("Tidy", 2, "*.txt;*.doc");
    const Outcome result = runCli(scratch, "run Tidy");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "task\tTidy\n" + entryLine("copy", inbox() + "/a.txt", sorted() + "/a.txt", "ok") +
                  entryLine("copy", inbox() + "/b.doc", sorted() + "/b.doc", "ok") +
                  entryLine("copy", inbox() + "/Notes/c.txt", sorted() + "/Notes/c.txt", "ok") +
                  "Done: 3 entries, 0 failed, in 1 task(s)\n");
    EXPECT_EQ(readFile(sorted() + "/Notes/c.txt"), "c");
}

TEST_F(RunCommandTest, FailedEntryIsPrintedWithItsReasonAndGivesStatusOne) {
    makeInbox();
    makeFile(sorted() + "/Notes", "a file where the folder should be");
    writeRecord("Tidy", 1, "*.txt");
    const Outcome result = runCli(scratch, "run Tidy");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find(entryLine("move", inbox() + "/a.txt", sorted() + "/a.txt", "ok")),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("move\t" + inbox() + "/Notes/c.txt\t" + sorted() +
                              "/Notes/c.txt\tfailed: cannot create folder " + sorted() + "/Notes"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("\nDone: 1 entries, 1 failed, in 1 task(s)\n"), std::string::npos);
    EXPECT_TRUE(fs::exists(inbox() + "/Notes/c.txt"));
}

TEST_F(RunCommandTest, TaskThatCannotRunPrintsItsErrorAndGivesStatusTwo) {
    makeInbox();
    writeRecord("Tidy", 0, "*.txt");
    const Outcome result = runCli(scratch, "run Tidy");
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out,
              "task\tTidy\n"
              "error\tTask \"Tidy\" cannot run: its action 0 is none of 1 (move), "
              "2 (copy) and 3 (delete)\n"
              "Done: 0 entries, 0 failed, in 1 task(s)\n");
    EXPECT_TRUE(fs::exists(inbox() + "/a.txt"));
}

TEST_F(RunCommandTest, SubtasksWithoutARecordAreSkipped) {
    makeInbox();
    writeRecord("Tidy", 3, "*.doc");
    writeFile(scratch.file("kestrune.dll"), "All\r\n\tTidy\r\n\tNothing\r\n");
    const Outcome result = runCli(scratch, "run All --subtasks-only");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "task\tTidy\n" + entryLine("delete", inbox() + "/b.doc", "", "ok") +
                              "task\tNothing\nskipped\tno task record\n"
                              "Done: 1 entries, 0 failed, in 2 task(s)\n");
    EXPECT_FALSE(fs::exists(inbox() + "/b.doc"));
}

// The entries are printed while the run goes on; a reader that has seen enough must not
// stop the run half-way.
TEST_F(RunCommandTest, ReaderThatStopsEarlyDoesNotCutTheRunShort) {
    constexpr int kFiles = 2000;
    for (int i = 0; i < kFiles; ++i) {
        makeFile(inbox() + "/a-rather-long-name-for-a-file-number-" + std::to_string(i) + ".txt");
    }
    writeRecord("Many", 2, "*.txt");
    const std::string command = std::string(KESTRUNE_CLI_PATH) + " --folder '" + scratch.folder() +
                                "' run Many | head -n 1 >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::size_t copied = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(sorted())) ++copied;
    EXPECT_EQ(copied, static_cast<std::size_t>(kFiles));
}

}  // namespace
}  // namespace kestrune
