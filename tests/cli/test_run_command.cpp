#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "cli/cli_runner.h"
#include "run/service/run_service.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using test::makeFile;
using test::readFile;
using test::runCli;
using test::writeFile;

class RunCommandTest : public test::ScratchTest {
  protected:
    std::string inbox() const { return scratch.file("Inbox"); }
    std::string sorted() const { return scratch.file("Sorted"); }

    void makeInbox() const {
        makeFile(inbox() + "/a.txt", "a");
        makeFile(inbox() + "/b.jpg", "b");
        makeFile(inbox() + "/Notes/c.txt", "c");
    }
    // One section of Setting.cfg for a task over Inbox.
    std::string record(const std::string& name, int action, const std::string& target) const {
        return "[" + name + "]\ns_folder=" + inbox() + "\nt_folder=" + target +
               "\nsublevel=0\nactions=" + std::to_string(action) + "\nfilters=*.txt\n";
    }
    // One output line of an entry below Inbox going to the same place below Sorted.
    std::string entryLine(const std::string& action, const std::string& below,
                          const std::string& state) const {
        return action + "\t" + inbox() + below + "\t" + sorted() + below + "\t" + state + "\n";
    }
    void writeSettings(const std::string& content) const {
        writeFile(scratch.file("Setting.cfg"), content);
    }
    void writeTree(const std::string& content) const {
        writeFile(scratch.file("kestrune.dll"), content);
    }
};

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
    EXPECT_EQ(result.out.find(sorted() + "/a.txt\t"), std::string::npos) << result.out;
}

TEST_F(RunCommandTest, FailedEntryIsReportedAndTheRunGoesOn) {
    makeInbox();
    makeFile(inbox() + "/locked.txt", "locked");
    ::chmod((inbox() + "/locked.txt").c_str(), 0444);
    writeSettings(record("Tidy", 3, ""));
    const test::CliOutcome result = runCli(scratch, "run Tidy");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find("delete\t" + inbox() + "/locked.txt\t\tfailed: "), std::string::npos)
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

TEST_F(RunCommandTest, TabsLineBreaksAndBackslashesInNamesAreEscaped) {
    makeFile(inbox() + "/tab\there.txt", "");
    makeFile(inbox() + "/two\nlines\\.txt", "");
    for (auto [action, word] : {std::pair{3, std::string("delete")}, {4, std::string("trash")}}) {
        writeSettings(record("Tidy", action, ""));
        const test::CliOutcome result = runCli(scratch, "run Tidy --preview");
        EXPECT_EQ(result.out, "task\tTidy\n" + word + "\t" + inbox() +
                                  "/tab\\there.txt\t\tplanned\n" + word + "\t" + inbox() +
                                  "/two\\nlines\\\\.txt\t\tplanned\n"
                                  "Previewed 1 task(s): 2 planned, 0 failed\n");
    }
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
        EXPECT_NE(run.out.find("\t" + inbox() + "/Sub\t" + (action == 3 ? "" : sorted() + "/Sub") +
                               "\tmerged\n"),
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

// Run as root, the run goes to a user that the folder's mode shuts out.
TEST_F(RunCommandTest, FolderThatCannotBeListedIsAFailureOfTheRun) {
    makeInbox();
    makeFile(inbox() + "/Locked/x.txt");
    writeSettings(record("Tidy", 2, sorted()));
    std::string wrapper;
    if (geteuid() == 0) {
        wrapper = "setpriv --reuid=65534 --regid=65534 --clear-groups";
        for (const auto& entry : fs::recursive_directory_iterator(scratch.folder())) {
            fs::permissions(entry.path(), fs::perms::all, fs::perm_options::add);
        }
        fs::permissions(scratch.folder(), fs::perms::all, fs::perm_options::add);
    }
    fs::permissions(inbox() + "/Locked", fs::perms::none);
    for (const bool preview : {true, false}) {
        const test::CliOutcome result =
            runCli(scratch, std::string("run Tidy") + (preview ? " --preview" : ""), wrapper);
        EXPECT_EQ(result.status, 1) << result.err;
        EXPECT_NE(result.out.find("folder\t" + inbox() + "/Locked\t\tfailed: Permission denied\n"),
                  std::string::npos)
            << result.out;
        EXPECT_NE(result.out.find(preview ? ": 2 planned, 1 failed" : ": 2 done, 1 failed"),
                  std::string::npos)
            << result.out;
    }
    fs::permissions(inbox() + "/Locked", fs::perms::owner_all);
}

// The entries are printed while the run goes on; a reader that has seen enough must not
// stop the run half-way.
TEST_F(RunCommandTest, ReaderThatStopsEarlyDoesNotCutTheRunShort) {
    constexpr int kFiles = 2000;
    for (int i = 0; i < kFiles; ++i) {
        makeFile(inbox() + "/a-rather-long-name-for-a-file-number-" + std::to_string(i) + ".txt",
                 "x");
    }
    writeSettings(record("Many", 2, sorted()));
    const std::string command = std::string(KESTRUNE_CLI_PATH) + " --folder '" + scratch.folder() +
                                "' run Many | head -n 1 >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::size_t copied = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(sorted())) ++copied;
    EXPECT_EQ(copied, static_cast<std::size_t>(kFiles));
}

// A run with every kind of outcome: the summary line and the history give the same figures.
TEST_F(RunCommandTest, TheSummaryAndTheHistoryGiveTheSameFigures) {
    makeFile(inbox() + "/a.txt", "a");
    makeFile(inbox() + "/same.txt", "same");
    makeFile(sorted() + "/same.txt", "same");
    makeFile(inbox() + "/coming.txt.part", "half");
    makeFile(inbox() + "/Sub.txt/d.txt", "d");
    makeFile(inbox() + "/Locked/e.txt", "e");
    writeSettings("[All]\ns_folder=" + inbox() + "\nt_folder=" + sorted() +
                  "\nactions=2\nfilters=*.*\nskipsame=1\n");
    std::string wrapper;
    if (geteuid() == 0) {
        wrapper = "setpriv --reuid=65534 --regid=65534 --clear-groups";
        for (const auto& entry : fs::recursive_directory_iterator(scratch.folder())) {
            fs::permissions(entry.path(), fs::perms::all, fs::perm_options::add);
        }
        fs::permissions(scratch.folder(), fs::perms::all, fs::perm_options::add);
    }
    fs::permissions(inbox() + "/Locked", fs::perms::none);
    const test::CliOutcome run = runCli(scratch, "run All", wrapper);
    fs::permissions(inbox() + "/Locked", fs::perms::owner_all);
    const std::string figures = "2 done, 1 failed, 2 left alone, 2 folders merged";
    EXPECT_NE(run.out.find("Ran 1 task(s): " + figures + "\n"), std::string::npos) << run.out;
    const std::string history = runCli(scratch, "history").out;
    EXPECT_NE(history.find("\tAll\t2\t1\tdone\t2\t2\n"), std::string::npos) << history;
}

// One task, one run at a time, across processes: while this process runs the task, a second
// kestrune-cli is refused, naming the process.
TEST_F(RunCommandTest, ATaskRunningInAnotherProcessIsRefused) {
    makeInbox();
    writeSettings(record("Tidy", 2, sorted()));
    struct Meanwhile : RunView {
        const test::ScratchDir* scratch = nullptr;
        test::CliOutcome second;
        void planned(const RunPlan&) override { second = runCli(*scratch, "run Tidy"); }
    } meanwhile;
    meanwhile.scratch = &scratch;
    const RunSummary first = RunService(scratch.folder()).runTask("Tidy", &meanwhile);
    EXPECT_TRUE(first.error.empty()) << first.error;
    EXPECT_EQ(meanwhile.second.status, 2);
    EXPECT_NE(meanwhile.second.out.find("error\t\"Tidy\" is running in process " +
                                        std::to_string(getpid()) + "\n"),
              std::string::npos)
        << meanwhile.second.out;
}

}  // namespace
}  // namespace kestrune
