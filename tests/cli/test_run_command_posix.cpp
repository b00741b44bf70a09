// Names with tabs and line breaks, folder modes and another user (setpriv), a shell pipeline,
// a second process.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "cli/run_command_test.h"
#include "run/service/run_service.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using test::makeFile;
using test::runCli;
using test::RunCommandTest;

// Root is shut out by no folder's mode: run as root, kestrune-cli runs as nobody (setpriv),
// with the scratch folder opened to every user. The command's wrapper, or nothing.
std::string asUserTheModesShutOut(const std::string& folder) {
    if (geteuid() != 0) return {};
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        fs::permissions(entry.path(), fs::perms::all, fs::perm_options::add);
    }
    fs::permissions(folder, fs::perms::all, fs::perm_options::add);
    return "setpriv --reuid=65534 --regid=65534 --clear-groups";
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

// Run as root, the run goes to a user that the folder's mode shuts out.
TEST_F(RunCommandTest, FolderThatCannotBeListedIsAFailureOfTheRun) {
    makeInbox();
    makeFile(inbox() + "/Locked/x.txt");
    writeSettings(record("Tidy", 2, sorted()));
    const std::string wrapper = asUserTheModesShutOut(scratch.folder());
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
    const std::string wrapper = asUserTheModesShutOut(scratch.folder());
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
