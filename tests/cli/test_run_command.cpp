#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cli/run_command_test.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using test::makeFile;
using test::readFile;
using test::runCli;
using test::RunCommandTest;
using test::writeFile;

TEST_F(RunCommandTest, PreviewListsThePlanAndTouchesNothing) {
    makeInbox();
    writeSettings(record("Tidy", 1, sorted()));
    const test::CliOutcome result = runCli(scratch, "run Tidy --preview");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "task\tTidy\n" + entryLine("move", "/a.txt", "planned") +
                              entryLine("move", "/Notes/c.txt", "planned") +
                              "Previewed 1 task(s): 2 planned, 0 failed\n");
    EXPECT_FALSE(fs::exists(sorted()));
    EXPECT_EQ(readFile(inbox() + "/a.txt"), "a");
}

TEST_F(RunCommandTest, RunMovesTheSelectedFilesKeepingTheirFolders) {
    makeInbox();
    writeSettings(record("Tidy", 1, sorted()));
    const test::CliOutcome result = runCli(scratch, "run Tidy");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "task\tTidy\n" + entryLine("move", "/a.txt", "ok") +
                              entryLine("move", "/Notes/c.txt", "ok") +
                              "Ran 1 task(s): 2 done, 0 failed\n");
    EXPECT_EQ(readFile(sorted() + "/a.txt"), "a");
    EXPECT_EQ(readFile(sorted() + "/Notes/c.txt"), "c");
    EXPECT_FALSE(fs::exists(inbox() + "/a.txt"));
    EXPECT_TRUE(fs::exists(inbox() + "/b.jpg"));
}

TEST_F(RunCommandTest, CopyNeverOverwritesAFileAlreadyThere) {
    makeInbox();
    makeFile(sorted() + "/a.txt", "kept");
    writeSettings(record("Tidy", 2, sorted()));
    const test::CliOutcome result = runCli(scratch, "run Tidy");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(readFile(sorted() + "/a.txt"), "kept");
    EXPECT_EQ(readFile(inbox() + "/a.txt"), "a");
    EXPECT_EQ(result.out.find(cli::field(sorted() + "/a.txt") + "\t"), std::string::npos)
        << result.out;
}

TEST_F(RunCommandTest, FailedEntryIsReportedAndTheRunGoesOn) {
    makeInbox();
    makeFile(inbox() + "/locked.txt", "locked");
    fs::permissions(test::pathOf(inbox() + "/locked.txt"), fs::perms::owner_write,
                    fs::perm_options::remove);
    writeSettings(record("Tidy", 3, ""));
    const test::CliOutcome result = runCli(scratch, "run Tidy");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find("delete\t" + cli::field(inbox() + "/locked.txt") + "\t\tfailed: "),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("Ran 1 task(s): 2 done, 1 failed\n"), std::string::npos);
    EXPECT_TRUE(fs::exists(inbox() + "/locked.txt"));
    EXPECT_FALSE(fs::exists(inbox() + "/a.txt"));
    EXPECT_FALSE(fs::exists(inbox() + "/Notes/c.txt"));
}

TEST_F(RunCommandTest, TaskThatCannotRunSaysWhyAndTouchesNothing) {
    makeInbox();
    writeSettings(record("Same", 1, inbox() + "/.") + "[Relative]\ns_folder=Inbox\nactions=3\n");
    for (const char* name : {"Same", "Relative", "Missing"}) {
        const test::CliOutcome result = runCli(scratch, std::string("run ") + name);
        EXPECT_EQ(result.status, 2) << name;
        EXPECT_EQ(result.out.rfind(std::string("task\t") + name + "\nerror\t", 0), 0u)
            << result.out;
        EXPECT_NE(result.out.find(name, 5 + std::string(name).size()), std::string::npos)
            << "the error names the task: " << result.out;
        EXPECT_NE(result.err.find(name), std::string::npos) << result.err;
    }
    EXPECT_EQ(readFile(inbox() + "/a.txt"), "a");
    EXPECT_EQ(readFile(inbox() + "/Notes/c.txt"), "c");
}

TEST_F(RunCommandTest, SubtreeModesRunNodesInPreOrderAndSkipThoseWithoutRecord) {
    makeInbox();
    writeTree("Group\r\n\tFirst\r\n\t\tNo Record\r\n\tSecond\r\nGroup\r\n\tOther\r\n");
    writeSettings(record("First", 2, sorted()) + record("Second", 2, scratch.file("Again")) +
                  record("Other", 3, ""));
    const test::CliOutcome with = runCli(scratch, "run Group --with-subtasks --preview");
    EXPECT_EQ(with.status, 0) << with.err;
    EXPECT_NE(with.out.find("task\tGroup\nskipped\tno task record\ntask\tFirst\ncopy\t"),
              std::string::npos)
        << with.out;
    EXPECT_NE(with.out.find("task\tNo Record\nskipped\tno task record\ntask\tSecond\ncopy\t"),
              std::string::npos);
    EXPECT_EQ(with.out.find("Other"), std::string::npos) << "only the first node of that name";
    EXPECT_NE(with.out.find("Previewed 4 task(s): 4 planned, 0 failed\n"), std::string::npos);

    const test::CliOutcome only = runCli(scratch, "run Group --subtasks-only --preview");
    EXPECT_EQ(only.out.rfind("task\tFirst\n", 0), 0u) << only.out;
    EXPECT_NE(only.out.find("Previewed 3 task(s)"), std::string::npos);
    EXPECT_FALSE(fs::exists(sorted()));
}

TEST_F(RunCommandTest, WrongArgumentsAndUnknownNodesExitWithTwo) {
    writeSettings(record("Tidy", 1, sorted()));
    for (const char* arguments : {"run", "run Tidy --with-subtasks --subtasks-only",
                                  "run Tidy --fast", "run Nowhere --with-subtasks"}) {
        const test::CliOutcome result = runCli(scratch, arguments);
        EXPECT_EQ(result.status, 2) << arguments;
        EXPECT_FALSE(result.err.empty()) << arguments;
    }
    EXPECT_FALSE(fs::exists(scratch.file("kestrune.dll")));
}

// "Move *.*" into a new target rebuilds the tree there, empty folders too, and leaves no
// folder behind; the run's lines are the preview's, with the statuses of things done.
TEST_F(RunCommandTest, PreviewAndRunAgreeOnEveryTargetOfAMergedTree) {
    for (const int action : {1, 2, 3}) {
        makeFile(inbox() + "/a.txt", "a");
        makeFile(inbox() + "/Sub/b.txt", "b");
        makeFile(inbox() + "/Sub/Deep/c", "c");
        fs::create_directories(inbox() + "/Empty");
        std::string all = record("All", action, action == 3 ? "" : sorted());
        all.replace(all.find("*.txt"), 5, "*.*");
        writeSettings(all);
        const test::CliOutcome preview = runCli(scratch, "run All --preview");
        const test::CliOutcome run = runCli(scratch, "run All");
        EXPECT_EQ(run.status, 0) << run.out;
        std::string expected = preview.out;
        for (std::size_t at; (at = expected.find("\tplanned\n")) != std::string::npos;) {
            expected.replace(at, 9, "\tok\n");
        }
        expected.replace(expected.find("Previewed "), 10, "Ran ");
        expected.replace(expected.find(" planned, "), 10, " done, ");
        EXPECT_EQ(run.out, expected) << "action " << action;
        EXPECT_NE(run.out.find("\t" + cli::field(inbox() + "/Sub") + "\t" +
                               (action == 3 ? "" : cli::field(sorted() + "/Sub")) + "\tmerged\n"),
                  std::string::npos)
            << run.out;
        if (action == 2) {
            EXPECT_EQ(readFile(sorted() + "/Sub/Deep/c"), "c");
            fs::remove_all(inbox());
        } else {
            EXPECT_EQ(std::distance(fs::directory_iterator(inbox()), fs::directory_iterator()), 0);
        }
        if (action != 3) {
            EXPECT_TRUE(fs::is_directory(sorted() + "/Empty"));
        }
        fs::remove_all(sorted());
    }
}

}  // namespace
}  // namespace kestrune
