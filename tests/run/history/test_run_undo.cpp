#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "run/history/journaled_run.h"
#include "run/history/run_history.h"
#include "run/history/run_undo.h"
#include "run/plan/run_planner.h"
#include "support/forwarding_files.h"
#include "support/scratch_dir.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using test::makeFile;
using test::readFile;

// Everything of a tree an undo must bring back: each entry's kind, content, mode and
// modification time (folders by path and mode only: putting entries back changes their times).
using Tree = std::map<std::string, std::string>;

Tree treeOf(const std::string& root) {
    Tree tree;
    if (!fs::exists(root)) return tree;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        struct stat st {};
        lstat(entry.path().c_str(), &st);
        std::string what = std::to_string(st.st_mode);
        if (!S_ISDIR(st.st_mode)) {
            what +=
                " " + std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
            what += S_ISLNK(st.st_mode) ? " -> " + fs::read_symlink(entry.path()).string()
                                        : " " + readFile(entry.path().string());
        }
        tree[entry.path().lexically_relative(root).string()] = what;
    }
    return tree;
}

std::string otherFileSystem(const std::string& near) {
    struct stat shm {
    }, disk{};
    if (stat("/dev/shm", &shm) != 0 || stat(near.c_str(), &disk) != 0 ||
        shm.st_dev == disk.st_dev) {
        return {};
    }
    char pattern[] = "/dev/shm/kestrune-undo-XXXXXX";
    return mkdtemp(pattern) != nullptr ? pattern : "";
}

class RunUndo : public test::ScratchTest {
  protected:
    void TearDown() override {
        if (!other.empty()) fs::remove_all(other);
    }
    std::string state() const { return scratch.folder() + "state/"; }

    // A source tree with nested folders, a read-only file, a link and old times, and a
    // target that holds entries of its own, one of them a name the run will find taken.
    void makeTrees(const std::string& source, const std::string& target) {
        makeFile(source + "/a.txt", "a");
        makeFile(source + "/Deep/er/b.txt", "b");
        makeFile(source + "/Deep/c.txt", "c");
        makeFile(source + "/taken.txt", "mine");
        fs::create_symlink("a.txt", source + "/link.txt");
        fs::permissions(source + "/Deep/c.txt", fs::perms::owner_read);
        fs::last_write_time(source + "/Deep/er/b.txt",
                            fs::file_time_type::clock::now() - std::chrono::hours(24 * 400));
        makeFile(target + "/Deep/theirs.txt", "theirs");
        makeFile(target + "/taken.txt", "theirs too");
    }

    JournaledRun run(const std::string& source, const std::string& target, int action) {
        const RunPlan plan = planRecord({source, target, action, 0, "*.txt", false}, "Tidy");
        return runJournaled(plan, state(), {}, kDefaultHistorySize);
    }

    JournaledRun undo(const std::string& id = {}) {
        return runUndo(planUndoOf(state(), id), state(), {}, kDefaultHistorySize);
    }

    std::string other;
};

TEST_F(RunUndo, UndoRestoresTheSourceAndTargetAndRedoesWhenUndoneItself) {
    other = otherFileSystem(scratch.path().string());
    std::vector<std::string> targets{scratch.file("out")};
    if (!other.empty()) targets.push_back(other + "/out");
    int round = 0;
    for (const std::string& target : targets) {
        for (const int action : {1, 2}) {
            const std::string source = scratch.file("in" + std::to_string(++round));
            const std::string where = target + " action " + std::to_string(action);
            makeTrees(source, target);
            const Tree sourceBefore = treeOf(source);
            const Tree targetBefore = treeOf(target);
            const JournaledRun done = run(source, target, action);
            ASSERT_EQ(done.totals.failed, 0u) << where;
            const Tree sourceAfter = treeOf(source);
            const Tree targetAfter = treeOf(target);
            ASSERT_NE(targetAfter, targetBefore) << where;

            const JournaledRun undone = undo();
            EXPECT_EQ(undone.totals.failed, 0u) << where;
            EXPECT_EQ(treeOf(source), sourceBefore) << where;
            EXPECT_EQ(treeOf(target), targetBefore) << where;
            EXPECT_EQ(readHistory(state())[1].state, RunState::Undone) << where;

            // Undoing the undo does the run again, to the same entries.
            const JournaledRun redone = undo(undone.journalId);
            EXPECT_EQ(redone.totals.failed, 0u) << where;
            EXPECT_EQ(treeOf(source).size(), sourceAfter.size()) << where;
            EXPECT_EQ(treeOf(target).size(), targetAfter.size()) << where;
            EXPECT_EQ(readHistory(state())[2].state, RunState::Done) << where;
            fs::remove_all(target);
        }
    }
}

// Counts the folders the executor opens, by path.
class CountedOpens final : public test::ForwardingFiles {
  public:
    ActionResult openRoot(const std::string& path, OpenFolder& out) override {
        ++opened[path];
        return ForwardingFiles::openRoot(path, out);
    }
    ActionResult openBelow(const OpenFolder& parent, const std::string& name,
                           OpenFolder& out) override {
        ++opened[parent->path() + name];
        return ForwardingFiles::openBelow(parent, name, out);
    }
    std::map<std::string, int> opened;
};

// An undo walks like the run: each folder is opened once for its entries, however many there
// are, and at most once more to remove the emptied folders at the end; more folders than are
// kept open at once, two levels deep.
TEST_F(RunUndo, UndoOpensEachFolderOnceWhateverItsEntries) {
    const std::string source = scratch.file("in");
    const std::string target = scratch.file("out/moved");
    constexpr int kFolders = 90;
    constexpr int kFiles = 12;
    for (int f = 0; f < kFolders; ++f) {
        const std::string folder =
            source + "/g" + std::to_string(f % 3) + "/d" + std::to_string(f) + "/";
        for (int i = 0; i < kFiles; ++i) makeFile(folder + std::to_string(i) + ".txt", "x");
    }
    ASSERT_EQ(run(source, target, 1).totals.failed, 0u);

    CountedOpens files;
    ExecuteOptions options;
    options.files = &files;
    const JournaledRun undone = runUndo(planUndoOf(state()), state(), options, kDefaultHistorySize);
    EXPECT_EQ(undone.figures.done, static_cast<std::size_t>(kFolders * kFiles));
    EXPECT_EQ(undone.totals.failed, 0u);
    for (const auto& [folder, times] : files.opened) EXPECT_LE(times, 2) << folder;
    EXPECT_EQ(files.opened[source], 1);
    EXPECT_EQ(files.opened[scratch.path().string()], 1);
    // The target folder the run made goes with the rest.
    EXPECT_FALSE(fs::exists(target));
    // The folders of both trees, their groups, the source, and out/moved in the scratch
    // folder, the root the target was made in; no other.
    EXPECT_EQ(files.opened.size(), 2u * (kFolders + 3) + 4);
}

TEST_F(RunUndo, UndoOverwritesNothingAndReportsWhatChanged) {
    const std::string source = scratch.file("in");
    const std::string target = scratch.file("out");
    makeTrees(source, target);
    run(source, target, 1);
    test::writeFile(target + "/a.txt", "edited since");  // the moved file changed
    makeFile(source + "/Deep/c.txt", "a new file where the run took one away");
    fs::remove(target + "/Deep/er/b.txt");

    std::map<std::string, std::string> failures;
    struct : ExecutionObserver {
        const RunPlan* plan;
        std::map<std::string, std::string>* failures;
        bool stepDone(std::size_t index, const StepResult& result) override {
            if (result.status == StepStatus::Failed) {
                (*failures)[fs::path(plan->steps[index].source).filename()] = result.error;
            }
            return true;
        }
    } observer;
    const UndoPlan plan = planUndoOf(state());
    observer.plan = &plan.plan;
    observer.failures = &failures;
    ExecuteOptions options;
    options.observer = &observer;
    const JournaledRun undone = runUndo(plan, state(), options, 100);

    EXPECT_EQ(failures, (std::map<std::string, std::string>{
                            {"a.txt", "it changed since the run"},
                            {"c.txt", "the path is taken since the run"},
                            {"b.txt", "it is no longer at " + target + "/Deep/er/b.txt"}}));
    EXPECT_EQ(readFile(target + "/a.txt"), "edited since");
    EXPECT_EQ(readFile(target + "/Deep/c.txt"), "c");
    EXPECT_EQ(readFile(source + "/Deep/c.txt"), "a new file where the run took one away");
    EXPECT_EQ(readFile(source + "/taken.txt"), "mine");  // the others went back
    EXPECT_EQ(readHistory(state())[1].state, RunState::PartlyUndone);
    EXPECT_THROW(planUndoOf(state(), "20000101T000000.000000Z"), UndoError);
}

TEST_F(RunUndo, PermanentDeleteIsReportedAsSuch) {
    const std::string source = scratch.file("in");
    makeFile(source + "/a.txt", "a");
    run(source, "", 3);
    const UndoPlan plan = planUndoOf(state());
    ASSERT_EQ(plan.plan.steps.size(), 1u);
    EXPECT_EQ(plan.plan.steps[0].error, "deleted permanently: it cannot come back");
    EXPECT_EQ(runUndo(plan, state(), {}, 100).totals.failed, 1u);
}

// A trash run's entries come back from the desktop's trash to their paths, link and
// read-only file too, and leave nothing behind in the trash.
TEST_F(RunUndo, TrashedEntriesComeBackFromTheTrash) {
    const std::string data = scratch.file("data");
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    const std::string source = scratch.file("in");
    makeTrees(source, scratch.file("unused"));
    const Tree before = treeOf(source);
    const JournaledRun done = run(source, "", 4);
    EXPECT_EQ(done.totals.failed, 0u);
    EXPECT_NE(treeOf(source), before);
    EXPECT_EQ(undo().totals.failed, 0u);
    EXPECT_EQ(treeOf(source), before);
    EXPECT_TRUE(fs::is_empty(data + "/Trash/files"));
    EXPECT_TRUE(fs::is_empty(data + "/Trash/info"));
    unsetenv("XDG_DATA_HOME");
}

}  // namespace
}  // namespace kestrune
