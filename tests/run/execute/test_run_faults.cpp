#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <thread>

#include "platform/temporary_name.h"
#include "run/execute/plan_executor.h"
#include "run/history/journaled_run.h"
#include "run/history/run_history.h"
#include "run/history/run_recovery.h"
#include "run/history/run_undo.h"
#include "run/plan/run_planner.h"
#include "support/forwarding_files.h"
#include "support/scratch_dir.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using test::makeFile;
using test::readFile;

using Files = std::map<std::string, std::string>;  // path below a root -> content

// Every regular file and link below the root; temporary copies are counted apart.
Files filesBelow(const std::string& root, std::size_t* temporaries = nullptr) {
    Files files;
    if (!fs::exists(root)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_directory() && !entry.is_symlink()) continue;
        if (isTemporaryName(entry.path().filename().string())) {
            if (temporaries != nullptr) ++*temporaries;
            continue;
        }
        files[fs::relative(entry.path(), root).string()] = readFile(entry.path().string());
    }
    return files;
}

// A tree of files with contents of their own, in a few folders, some nested.
Files makeTree(const std::string& root, int count, std::size_t size) {
    Files files;
    for (int i = 0; i < count; ++i) {
        const std::string below = "d" + std::to_string(i % 7) + (i % 3 == 0 ? "/e.x/" : "/") + "f" +
                                  std::to_string(i) + ".txt";
        std::string content = below + ":";
        content.resize(size, static_cast<char>('a' + i % 26));
        makeFile(root + "/" + below, content);
        files[below] = content;
    }
    return files;
}

// /dev/shm when it lies on another file system than the scratch folder.
std::string otherFileSystem(const test::ScratchDir& scratch) {
    struct stat shm {
    }, disk{};
    if (stat("/dev/shm", &shm) != 0 || stat(scratch.path().c_str(), &disk) != 0 ||
        shm.st_dev == disk.st_dev) {
        return {};
    }
    char pattern[] = "/dev/shm/kestrune-test-XXXXXX";
    return mkdtemp(pattern) != nullptr ? pattern : "";
}

// Where every file ended up: lost, or found at the source, the target or both.
struct Census {
    std::size_t lost = 0;
    std::size_t both = 0;
    std::size_t wrong = 0;  // a final name holding what no source held
    std::size_t temporaries = 0;
};

Census census(const Files& original, const std::string& source, const std::string& target) {
    Census result;
    const Files atSource = filesBelow(source, &result.temporaries);
    const Files atTarget = filesBelow(target, &result.temporaries);
    for (const auto& [below, content] : original) {
        const auto s = atSource.find(below);
        const auto t = atTarget.find(below);
        const bool here = s != atSource.end() && s->second == content;
        const bool there = t != atTarget.end() && t->second == content;
        if (!here && !there) ++result.lost;
        if (here && there) ++result.both;
    }
    for (const auto& [below, content] : atTarget) {
        const auto o = original.find(below);
        if (o == original.end() || o->second != content) ++result.wrong;
    }
    return result;
}

ExecuteOptions through(FileActions* files, ExecutionObserver* observer = nullptr) {
    ExecuteOptions options;
    options.files = files;
    options.observer = observer;
    return options;
}

TaskRecord record(const std::string& source, const std::string& target, int action) {
    return {source, target, action, 0, "*.*", false};
}

// Fails the chosen call of any action that writes, with an I/O error.
class FailingFiles : public test::ForwardingFiles {
  public:
    explicit FailingFiles(int failAt) : failAt_(failAt) {}
    ActionResult rename(const OpenFolder& from, const std::string& name,
                        const EntryIdentity& expected, const OpenFolder& to,
                        const std::string& newName, EntryIdentity& made) override {
        return fail() ? io() : system.rename(from, name, expected, to, newName, made);
    }
    ActionResult remove(const OpenFolder& folder, const std::string& name,
                        const EntryIdentity& expected) override {
        return fail() ? io() : system.remove(folder, name, expected);
    }
    ActionResult removeFolder(const OpenFolder& folder, const std::string& name,
                              const EntryIdentity& expected) override {
        return fail() ? io() : system.removeFolder(folder, name, expected);
    }
    ActionResult removeMade(const OpenFolder& folder, const std::string& name,
                            const EntryIdentity& expected) override {
        return fail() ? io() : system.removeMade(folder, name, expected);
    }
    ActionResult copyToTemporary(const OpenFolder& from, const std::string& name,
                                 const EntryIdentity& expected, const OpenFolder& to,
                                 const std::string& temporaryName, const std::atomic<bool>* stop,
                                 TemporaryCopy& out) override {
        return fail() ? io()
                      : system.copyToTemporary(from, name, expected, to, temporaryName, stop, out);
    }
    ActionResult flush(const OpenFolder& folder) override {
        return fail() ? io() : system.flush(folder);
    }
    ActionResult placeTemporary(const OpenFolder& folder, const TemporaryCopy& copy,
                                const std::string& name, EntryIdentity& made) override {
        return fail() ? io() : system.placeTemporary(folder, copy, name, made);
    }
    ActionResult removeCopiedSource(const OpenFolder& from, const std::string& name,
                                    const TemporaryCopy& copy) override {
        return fail() ? io() : system.removeCopiedSource(from, name, copy);
    }
    ActionResult makeFolder(const OpenFolder& parent, const std::string& name,
                            bool private_) override {
        return fail() ? io() : system.makeFolder(parent, name, private_);
    }
    ActionResult writeNewFile(const OpenFolder& folder, const std::string& name,
                              const std::string& content) override {
        return fail() ? io() : system.writeNewFile(folder, name, content);
    }
    bool failed() const { return calls_ > failAt_; }

  private:
    bool fail() { return calls_++ == failAt_; }
    static ActionResult io() { return ActionResult::failure(EIO); }
    int failAt_;
    int calls_ = 0;
};

class RunFaults : public test::ScratchTest {
  protected:
    void SetUp() override { other = otherFileSystem(scratch); }
    void TearDown() override {
        if (!other.empty()) fs::remove_all(other);
    }
    // The target folders to try: on the scratch folder's file system, and on another one.
    std::vector<std::string> targetRoots() const {
        std::vector<std::string> roots{scratch.file("out")};
        if (!other.empty()) roots.push_back(other);
        return roots;
    }
    std::string other;
};

TEST_F(RunFaults, FailureAtAnyOneStepLosesNothingAndLeavesNoPartFile) {
    if (other.empty()) std::cout << "only one file system: no run across file systems\n";
    int round = 0;
    for (const std::string& root : targetRoots()) {
        for (const int action : {1, 2}) {
            for (int failAt = 0;; ++failAt) {
                const std::string source = scratch.file("in" + std::to_string(++round));
                const std::string target = root + "/t" + std::to_string(round);
                const Files original = makeTree(source, 6, 5000);
                FailingFiles files(failAt);
                const RunPlan plan = planRecord(record(source, target, action), "Faults", {&files});
                const RunTotals totals = executePlan(plan, through(&files));
                const Census after = census(original, source, target);
                const std::string where = target + " action " + std::to_string(action) +
                                          " failing call " + std::to_string(failAt);
                EXPECT_EQ(after.lost, 0u) << where;
                EXPECT_EQ(after.wrong, 0u) << where;
                EXPECT_EQ(after.temporaries, 0u) << where;
                if (action == 1) {
                    EXPECT_LE(after.both, 1u) << where;
                }
                if (!files.failed()) {
                    EXPECT_EQ(totals.failed, 0u) << where;
                    break;
                }
            }
        }
    }
}

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

// Another program changes a source after its copy began, before the source is removed.
class ChangingFiles : public test::ForwardingFiles {
  public:
    explicit ChangingFiles(bool saveOver) : saveOver_(saveOver) {}
    ActionResult copyToTemporary(const OpenFolder& from, const std::string& name,
                                 const EntryIdentity& expected, const OpenFolder& to,
                                 const std::string& temporaryName, const std::atomic<bool>* stop,
                                 TemporaryCopy& out) override {
        const ActionResult copied =
            system.copyToTemporary(from, name, expected, to, temporaryName, stop, out);
        const std::string path = from->path() + name;
        if (saveOver_) {
            test::writeFile(path + ".new", "saved over");
            fs::rename(path + ".new", path);
        } else {
            std::FILE* file = std::fopen(path.c_str(), "a");
            std::fputs(" and more", file);
            std::fclose(file);
        }
        return copied;
    }

  private:
    bool saveOver_;
};

TEST_F(RunFaults, SourceChangedDuringAMoveAcrossFileSystemsIsKept) {
    if (other.empty()) GTEST_SKIP() << "/dev/shm and the scratch folder are one file system";
    for (const bool saveOver : {false, true}) {
        const std::string source = scratch.file(saveOver ? "saved" : "appended");
        makeFile(source + "/a.txt", "first");
        ChangingFiles files(saveOver);
        const RunPlan plan = planRecord(record(source, other + "/t", 1), "Change", {&files});
        const RunTotals totals = executePlan(plan, through(&files));
        EXPECT_EQ(totals.failed, 1u);
        EXPECT_EQ(readFile(source + "/a.txt"), saveOver ? "saved over" : "first and more");
        EXPECT_EQ(readFile(other + "/t/a.txt"), "first");
        fs::remove_all(other + "/t");
    }
}

// The order in which a run's copies are written, flushed, placed and reported.
class OrderLog : public test::ForwardingFiles, public ExecutionObserver {
  public:
    ActionResult copyToTemporary(const OpenFolder& from, const std::string& name,
                                 const EntryIdentity& expected, const OpenFolder& to,
                                 const std::string& temporaryName, const std::atomic<bool>* stop,
                                 TemporaryCopy& out) override {
        log.push_back("copy " + name);
        return system.copyToTemporary(from, name, expected, to, temporaryName, stop, out);
    }
    ActionResult flush(const OpenFolder& folder) override {
        log.push_back("flush");
        return system.flush(folder);
    }
    ActionResult placeTemporary(const OpenFolder& folder, const TemporaryCopy& copy,
                                const std::string& name, EntryIdentity& made) override {
        log.push_back("place " + name);
        return system.placeTemporary(folder, copy, name, made);
    }
    ActionResult removeCopiedSource(const OpenFolder& from, const std::string& name,
                                    const TemporaryCopy& copy) override {
        log.push_back("remove " + name);
        return system.removeCopiedSource(from, name, copy);
    }
    bool stepDone(std::size_t, const StepResult& result) override {
        log.push_back("done " + result.target.substr(result.target.rfind('/') + 1));
        return true;
    }
    void placed(std::size_t, const StepResult& result) override {
        log.push_back("placed " + result.target.substr(result.target.rfind('/') + 1));
    }
    bool durable() override {
        log.push_back("durable");
        return true;
    }
    std::vector<std::string> log;
};

std::ptrdiff_t at(const std::vector<std::string>& log, const std::string& what) {
    return std::find(log.begin(), log.end(), what) - log.begin();
}

TEST_F(RunFaults, CopiesReachTheDiskBeforeTheirNamesAndSourcesGoLast) {
    int round = 0;
    for (const std::string& root : targetRoots()) {
        const int action = root == other ? 1 : 2;
        const std::string source = scratch.file("order" + std::to_string(++round));
        for (const char* name : {"a.txt", "b.txt", "c.txt"}) makeFile(source + "/" + name, name);
        OrderLog order;
        const RunPlan plan = planRecord(record(source, root + "/o", action), "Order", {&order});
        executePlan(plan, through(&order, &order));
        const auto& log = order.log;
        for (const std::string name : {"a.txt", "b.txt", "c.txt"}) {
            const auto copied = at(log, "copy " + name);
            const auto placed = at(log, "place " + name);
            const auto flushed = std::find(log.begin() + copied, log.end(), "flush") - log.begin();
            EXPECT_LT(flushed, placed) << name;
            EXPECT_LT(placed, at(log, "done " + name)) << name;
            if (action == 1) {
                // The copy's name is on disk, and the journal says so, before its source goes.
                const auto told = at(log, "placed " + name);
                const auto removed = at(log, "remove " + name);
                const auto flushedAgain =
                    std::find(log.begin() + placed, log.end(), "flush") - log.begin();
                const auto journaled =
                    std::find(log.begin() + told, log.end(), "durable") - log.begin();
                EXPECT_LT(flushedAgain, told) << name;
                EXPECT_LT(journaled, removed) << name;
                EXPECT_LT(removed, at(log, "done " + name)) << name;
            }
        }
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(log.back(), "durable");
        EXPECT_EQ(log[log.size() - 2], "flush");
    }
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
