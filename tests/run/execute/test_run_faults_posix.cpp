// Kills (fork and SIGKILL), a full disk (a tmpfs mount or a file size limit), symbolic links,
// folders deeper than a path may be long (openat).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "run/execute/run_faults.h"
#include "run/history/journaled_run.h"
#include "run/history/run_history.h"
#include "run/history/run_recovery.h"
#include "run/history/run_undo.h"
#include "support/forwarding_files.h"

namespace kestrune {
namespace {

using test::census;
using test::Census;
using test::Files;
using test::filesBelow;
using test::makeFile;
using test::makeTree;
using test::readFile;
using test::record;
using test::RunFaults;
using test::through;
namespace fs = std::filesystem;

// The child moves a tree and is killed part-way, again and again.
TEST_F(RunFaults, KilledMoveLosesAndDuplicatesNothing) {
    if (other.empty()) std::cout << "only one file system: no move across file systems\n";
    std::mt19937 random(20261209);
    int round = 0;
    for (const std::string& root : targetRoots()) {
        const bool across = root == other;
        for (int attempt = 0; attempt < 8; ++attempt) {
            const std::string source = scratch.file("in" + std::to_string(++round));
            const std::string target = root + "/t" + std::to_string(round);
            const Files original = makeTree(source, 2000, across ? 3000 : 200);
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                const RunPlan plan = planRecord(record(source, target, 1), "Killed");
                executePlan(plan);
                _exit(0);
            }
            const int delayMs = std::uniform_int_distribution<int>(1, across ? 400 : 60)(random);
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            kill(child, SIGKILL);
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            const Census after = census(original, source, target);
            const std::string where = target + " killed after " + std::to_string(delayMs) + " ms";
            EXPECT_EQ(after.lost, 0u) << where;
            EXPECT_EQ(after.wrong, 0u) << where;
            // Across file systems the copies put in place whose sources were still to go
            // stand twice until the journal's recovery finishes them (the next test).
            if (!across) {
                EXPECT_EQ(after.both, 0u) << where;
            }
        }
    }
}

// The child's journaled move is killed part-way; the next command's recovery puts it right,
// and the undo then brings back the state before the run.
TEST_F(RunFaults, KilledJournaledMoveIsRecoveredAndUndoesToTheStateBefore) {
    std::mt19937 random(1209);
    int round = 0;
    for (const std::string& root : targetRoots()) {
        const bool across = root == other;
        for (int attempt = 0; attempt < 5; ++attempt) {
            const std::string state = scratch.file("state" + std::to_string(++round));
            const std::string source = scratch.file("in" + std::to_string(round));
            const std::string target = root + "/t" + std::to_string(round);
            const Files original = makeTree(source, 800, across ? 3000 : 200);
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                const RunPlan plan = planRecord(record(source, target, 1), "Killed");
                runJournaled(plan, state, {}, kDefaultHistorySize);
                _exit(0);
            }
            const int delayMs = std::uniform_int_distribution<int>(1, across ? 300 : 60)(random);
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            kill(child, SIGKILL);
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            const std::string where = target + " killed after " + std::to_string(delayMs) + " ms";

            recoverInterruptedRuns(state);
            const Census recovered = census(original, source, target);
            EXPECT_EQ(recovered.lost, 0u) << where;
            EXPECT_EQ(recovered.both, 0u) << where;
            EXPECT_EQ(recovered.wrong, 0u) << where;
            EXPECT_EQ(recovered.temporaries, 0u) << where;
            const std::vector<HistoryEntry> history = readHistory(state);
            if (history.empty()) continue;  // killed before its journal began: nothing done
            EXPECT_TRUE(history[0].journal.ended) << where << history[0].problem;
            if (history[0].journal.figures.done == 0) {
                EXPECT_THROW(planUndoOf(state), UndoError) << where;  // nothing to undo
                continue;
            }

            struct : ExecutionObserver {
                std::string failures;
                bool stepDone(std::size_t, const StepResult& result) override {
                    if (result.status == StepStatus::Failed) failures += result.error + "\n";
                    return true;
                }
            } heard;
            ExecuteOptions options;
            options.observer = &heard;
            const JournaledRun undone =
                runUndo(planUndoOf(state), state, options, kDefaultHistorySize);
            EXPECT_EQ(undone.totals.failed, 0u) << where << "\n" << heard.failures;
            EXPECT_EQ(filesBelow(source), original) << where;
            EXPECT_TRUE(filesBelow(target).empty()) << where;
        }
    }
}

// Dies, as a kill would, between placing a copy and removing its source.
class DyingFiles : public test::ForwardingFiles {
  public:
    ActionResult removeCopiedSource(const OpenFolder& from, const std::string& name,
                                    const TemporaryCopy& copy) override {
        if (name == "b.txt") raise(SIGKILL);
        return system.removeCopiedSource(from, name, copy);
    }
};

TEST_F(RunFaults, MoveCutShortBetweenCopyAndRemovalIsFinishedUnlessTheSourceChanged) {
    if (other.empty()) GTEST_SKIP() << "/dev/shm and the scratch folder are one file system";
    for (const bool changed : {false, true}) {
        const std::string state = scratch.file(changed ? "state-changed" : "state");
        const std::string source = scratch.file(changed ? "changed" : "same");
        const std::string target = other + (changed ? "/changed" : "/same");
        for (const char* name : {"a.txt", "b.txt", "c.txt"}) makeFile(source + "/" + name, name);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            DyingFiles files;
            const RunPlan plan = planRecord(record(source, target, 1), "Cut", {&files});
            runJournaled(plan, state, through(&files), kDefaultHistorySize);
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
        ASSERT_TRUE(fs::exists(source + "/b.txt") && fs::exists(target + "/b.txt"));
        if (changed) test::writeFile(source + "/b.txt", "edited meanwhile");

        const std::vector<std::string> lines = recoverInterruptedRuns(state);
        const std::string report = ::testing::PrintToString(lines);
        EXPECT_EQ(fs::exists(source + "/b.txt"), changed) << report;
        EXPECT_EQ(readFile(target + "/b.txt"), "b.txt");
        EXPECT_FALSE(fs::exists(source + "/a.txt"));
        EXPECT_NE(report.find(changed ? "kept both" : "finished the move"), std::string::npos)
            << report;
        std::size_t temporaries = 0;
        filesBelow(target, &temporaries);
        EXPECT_EQ(temporaries, 0u);

        // What was moved goes back; a source changed meanwhile stays, and so does its copy.
        runUndo(planUndoOf(state), state, {}, kDefaultHistorySize);
        EXPECT_EQ(readFile(source + "/a.txt"), "a.txt");
        EXPECT_EQ(readFile(source + "/b.txt"), changed ? "edited meanwhile" : "b.txt");
        EXPECT_EQ(fs::exists(target + "/b.txt"), changed);
    }
}

// A full disk: a small tmpfs where the tests may mount one, else a file size limit.
TEST_F(RunFaults, FullDiskDuringCopiesLeavesSourcesWholeAndNoPartialTarget) {
    const std::string source = scratch.file("in");
    const std::string target = scratch.file("small");
    const Files original = makeTree(source, 12, 100000);
    fs::create_directories(target);
    const bool mounted =
        geteuid() == 0 && mount("tmpfs", target.c_str(), "tmpfs", 0, "size=512k") == 0;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (!mounted) {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{250000, 250000};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        const RunPlan plan = planRecord(record(source, target + "/t", 2), "Full");
        const RunTotals totals = executePlan(plan);
        _exit(totals.failed > 0 && totals.succeeded > 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    if (!mounted) {
        std::cout << "no tmpfs could be mounted: a file size limit stands for the full disk\n";
    }
    const Census after = census(original, source, target + "/t");
    if (mounted) umount(target.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "some copies fail, some not";
    EXPECT_EQ(filesBelow(source), original);
    EXPECT_EQ(after.wrong, 0u);
    EXPECT_EQ(after.temporaries, 0u);
}

TEST_F(RunFaults, FolderSwappedForALinkAfterPlanningIsNotFollowed) {
    const std::string source = scratch.file("in");
    makeFile(source + "/Sub/a.txt", "mine");
    makeFile(scratch.file("outside/a.txt"), "theirs");
    const RunPlan plan = planRecord(record(source, scratch.file("out"), 1), "Swap");
    fs::rename(source + "/Sub", scratch.file("old"));
    fs::create_symlink(scratch.file("outside"), source + "/Sub");
    std::vector<std::string> errors;
    struct : ExecutionObserver {
        std::vector<std::string>* errors;
        bool stepDone(std::size_t, const StepResult& result) override {
            if (result.status == StepStatus::Failed) errors->push_back(result.error);
            return true;
        }
    } observer;
    observer.errors = &errors;
    ExecuteOptions options;
    options.observer = &observer;
    executePlan(plan, options);
    EXPECT_EQ(readFile(scratch.file("outside/a.txt")), "theirs");
    EXPECT_EQ(readFile(scratch.file("old/a.txt")), "mine");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("was replaced since it was listed"), std::string::npos) << errors[0];
}

// Removes the folder `name` of the open folder and what it holds, one name at a time.
void removeBelow(int folder, const std::string& name) {
    const int below = openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (below < 0) return;
    for (const std::string& inner : {name, std::string("bottom.txt")}) {
        if (unlinkat(below, inner.c_str(), 0) != 0) removeBelow(below, inner);
    }
    close(below);
    unlinkat(folder, name.c_str(), AT_REMOVEDIR);
}

// Folders deeper than a path may be long are made, walked and acted in one name at a time.
TEST_F(RunFaults, FoldersDeeperThanAPathMayBeLongAreMovedWhole) {
    const std::string source = scratch.file("deep");
    fs::create_directories(source);
    int folder = open(source.c_str(), O_RDONLY | O_DIRECTORY);
    const std::string name(200, 'd');
    for (int depth = 0; depth < 30; ++depth) {  // 30 * 201 bytes: beyond PATH_MAX
        ASSERT_EQ(mkdirat(folder, name.c_str(), 0755), 0);
        const int below = openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY);
        close(folder);
        folder = below;
    }
    const int file = openat(folder, "bottom.txt", O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(write(file, "deep", 4), 4);
    close(file);
    close(folder);
    const RunPlan plan = planRecord(record(source, scratch.file("out"), 1), "Deep");
    ASSERT_EQ(plan.steps.size(), 31u);
    const RunTotals totals = executePlan(plan);
    EXPECT_EQ(totals.failed, 0u);
    folder = open(scratch.file("out").c_str(), O_RDONLY | O_DIRECTORY);
    for (int depth = 0; depth < 30 && folder >= 0; ++depth) {
        const int below = openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY);
        close(folder);
        folder = below;
    }
    char content[8] = {};
    const int moved = openat(folder, "bottom.txt", O_RDONLY);
    EXPECT_EQ(read(moved, content, sizeof content), 4);
    EXPECT_STREQ(content, "deep");
    close(moved);
    close(folder);
    // A scratch folder is removed by paths: the deep tree goes first, a name at a time.
    folder = open(scratch.file("out").c_str(), O_RDONLY | O_DIRECTORY);
    removeBelow(folder, name);
    close(folder);
}

}  // namespace
}  // namespace kestrune
