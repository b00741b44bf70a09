#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include "platform/trash.h"
#include "run/execute/plan_executor.h"
#include "run/plan/run_planner.h"
#include "run/tree_helpers.h"
#include "support/forwarding_files.h"
#include "support/trash_cli.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using test::makeFile;
using test::readFile;

// Each step's result and each emptied folder, as the run told them.
class Recorder : public ExecutionObserver {
  public:
    bool stepDone(std::size_t /*index*/, const StepResult& result) override {
        results.push_back(result);
        return keepGoing;
    }
    void folderRemoved(const std::string& path, const FolderShape&) override {
        removed.push_back(path);
    }
    std::vector<StepResult> results;
    std::vector<std::string> removed;
    bool keepGoing = true;
};

struct Outcome {
    RunPlan plan;
    RunTotals totals;
    std::vector<StepResult> results;
    std::vector<std::string> removed;
    bool ok(std::size_t i) const { return results.at(i).status != StepStatus::Failed; }
};

Outcome run(const TaskRecord& record, const std::string& name, FileActions* files = nullptr,
            bool keepGoing = true) {
    Outcome outcome;
    outcome.plan = planRecord(record, name, {files, nullptr});
    Recorder recorder;
    recorder.keepGoing = keepGoing;
    ExecuteOptions options;
    options.observer = &recorder;
    options.files = files;
    outcome.totals = executePlan(outcome.plan, options);
    outcome.results = std::move(recorder.results);
    outcome.removed = std::move(recorder.removed);
    return outcome;
}

class TaskRunTest : public test::ScratchTest {
  protected:
    std::string inbox() const { return scratch.file("Inbox"); }
    std::string sorted() const { return scratch.file("Sorted"); }
    TaskRecord record(int action, const std::string& filters, int depthCode = 0) const {
        return {inbox(), sorted(), action, depthCode, filters, false};
    }
    // The source of the worked example: a stand-in for C:\Inbox and D:\Sorted.
    void makeExample() const {
        makeFile(inbox() + "/a.txt", "inbox a");
        makeFile(inbox() + "/b.doc", "b");
        makeFile(inbox() + "/c.jpg", "c");
        makeFile(inbox() + "/Notes/a.txt", "notes a");
        makeFile(inbox() + "/Notes/Old/x.txt", "x");
        makeFile(sorted() + "/a.txt", "sorted a");
    }
};

const std::string kPart = "[a-zA-Z0-9]{12}";

TEST_F(TaskRunTest, WorkedExampleKeepsRelativeFolders) {
    makeExample();
    const Outcome report = run(record(2, "*.txt;*.doc", 2), "Inbox");
    ASSERT_TRUE(report.totals.error.empty()) << report.totals.error;
    ASSERT_EQ(report.results.size(), 3u);
    EXPECT_EQ(report.plan.steps[0].source, inbox() + "/a.txt");
    EXPECT_TRUE(std::regex_match(report.results[0].target,
                                 std::regex(sorted() + "/" + kPart + "_a\\.txt")));
    EXPECT_EQ(report.results[1].target, sorted() + "/b.doc");
    EXPECT_EQ(report.plan.steps[2].source, inbox() + "/Notes/a.txt");
    EXPECT_EQ(report.results[2].target, sorted() + "/Notes/a.txt");
    EXPECT_EQ(report.totals.succeeded, 3u);
    EXPECT_EQ(readFile(sorted() + "/a.txt"), "sorted a");
    EXPECT_EQ(readFile(report.results[0].target), "inbox a");
    EXPECT_EQ(readFile(sorted() + "/Notes/a.txt"), "notes a");
    EXPECT_EQ(readFile(inbox() + "/a.txt"), "inbox a");
    EXPECT_FALSE(fs::exists(sorted() + "/Notes/Old"));
}

TEST_F(TaskRunTest, WorkedExampleFlatGivesEachCollisionARandomPartAndCreatesNoSubfolders) {
    makeExample();
    TaskRecord flat = record(2, "*.txt;*.doc", 2);
    flat.flat = true;
    const Outcome report = run(flat, "Inbox");
    ASSERT_EQ(report.results.size(), 3u);
    const std::regex renamed(sorted() + "/" + kPart + "_a\\.txt");
    EXPECT_TRUE(std::regex_match(report.results[0].target, renamed));
    EXPECT_EQ(report.results[1].target, sorted() + "/b.doc");
    EXPECT_TRUE(std::regex_match(report.results[2].target, renamed));
    EXPECT_NE(report.results[0].target, report.results[2].target);
    EXPECT_EQ(readFile(report.results[2].target), "notes a");
    EXPECT_FALSE(fs::exists(sorted() + "/Notes"));
}

TEST_F(TaskRunTest, MoveAndDeleteActOnEverySelectedEntry) {
    makeExample();
    const Outcome moved = run(record(1, "*.txt"), "Move");
    EXPECT_EQ(moved.totals.succeeded, 3u);
    EXPECT_FALSE(fs::exists(inbox() + "/Notes/Old/x.txt"));
    EXPECT_EQ(readFile(sorted() + "/Notes/Old/x.txt"), "x");
    const Outcome deleted = run(record(3, "*.jpg;*.doc"), "Delete");
    EXPECT_EQ(deleted.totals.succeeded, 2u);
    EXPECT_EQ(deleted.results[0].target, "");
    EXPECT_FALSE(fs::exists(inbox() + "/c.jpg"));
}

TEST_F(TaskRunTest, RecordsThatCannotRunTouchNothing) {
    makeExample();
    auto expectRefused = [&](TaskRecord bad, const std::string& reason) {
        const Outcome report = run(bad, "Bad");
        EXPECT_NE(report.totals.error.find("Task \"Bad\" cannot run: "), std::string::npos);
        EXPECT_NE(report.totals.error.find(reason), std::string::npos) << report.totals.error;
        EXPECT_TRUE(report.plan.steps.empty());
    };
    TaskRecord r = record(1, "*.*");
    r.sourceFolder = "";
    expectRefused(r, "source folder is empty");
    r.sourceFolder = "Inbox";
    expectRefused(r, "not an absolute path");
    r = record(1, "*.*");
    r.targetFolder = "Sorted";
    expectRefused(r, "not an absolute path");
    r.targetFolder = "";
    expectRefused(r, "target folder is empty");
    expectRefused(record(0, "*.*"), "action 0");
    expectRefused(record(5, "*.*"), "action 5");
    r = record(1, "*.*");
    r.sourceFolder = scratch.file("missing");
    expectRefused(r, "does not exist");
    EXPECT_TRUE(fs::exists(inbox() + "/a.txt"));
    EXPECT_FALSE(fs::exists(sorted() + "/b.doc"));
}

TEST_F(TaskRunTest, DeleteNeedsNoTargetFolder) {
    makeExample();
    TaskRecord r = record(3, "*.jpg");
    r.targetFolder = "";
    EXPECT_EQ(run(r, "Delete").totals.succeeded, 1u);
}

TEST_F(TaskRunTest, TargetThatIsTheSourceIsRefusedHoweverSpelled) {
    makeExample();
    fs::create_symlink(inbox(), scratch.file("alias"));
    for (const std::string& target :
         {inbox(), inbox() + "/", inbox() + "/./Notes/..", scratch.file("alias")}) {
        TaskRecord r = record(2, "*.txt");
        r.targetFolder = target;
        const Outcome report = run(r, "Self");
        EXPECT_NE(report.totals.error.find("target folder is its source folder"), std::string::npos)
            << target;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(inbox()), fs::directory_iterator()), 4);
}

TEST_F(TaskRunTest, TargetInsideTheSourceIsNotWalkedAgainByLaterRuns) {
    makeFile(inbox() + "/a.txt", "a");
    TaskRecord r = record(1, "*.txt");
    r.targetFolder = inbox() + "/Sorted";
    EXPECT_EQ(run(r, "Inside").totals.succeeded, 1u);
    makeFile(inbox() + "/b.txt", "b");
    const Outcome second = run(r, "Inside");
    ASSERT_EQ(second.results.size(), 1u);
    EXPECT_EQ(second.plan.steps[0].source, inbox() + "/b.txt");
    EXPECT_EQ(readFile(inbox() + "/Sorted/a.txt"), "a");
}

TEST_F(TaskRunTest, FoldersAreMadeOnlyForMoveAndCopyAndOnlyWhereEntriesGo) {
    makeFile(inbox() + "/Empty/x.jpg");
    makeFile(inbox() + "/Full/x.txt");
    run(record(3, "*.txt"), "Delete");
    EXPECT_FALSE(fs::exists(sorted()));
    makeFile(inbox() + "/Full/x.txt");
    run(record(2, "*.txt"), "Copy");
    EXPECT_TRUE(fs::exists(sorted() + "/Full/x.txt"));
    EXPECT_FALSE(fs::exists(sorted() + "/Empty"));
}

TEST_F(TaskRunTest, FolderThatCannotBeMadeFailsItsEntriesOnly) {
    makeFile(inbox() + "/a.txt", "a");
    makeFile(inbox() + "/Notes/b.txt", "b");
    makeFile(sorted() + "/Notes", "a file where the folder should be");
    const Outcome report = run(record(1, "*.txt"), "Blocked");
    ASSERT_EQ(report.results.size(), 2u);
    EXPECT_TRUE(report.ok(0));
    EXPECT_FALSE(report.ok(1));
    EXPECT_NE(report.results[1].error.find("cannot create folder " + sorted() + "/Notes"),
              std::string::npos);
    EXPECT_EQ(report.totals.failed, 1u);
    EXPECT_TRUE(fs::exists(inbox() + "/Notes/b.txt"));
}

TEST_F(TaskRunTest, TargetFolderThatCannotBeMadeEndsTheRun) {
    makeFile(inbox() + "/a.txt", "a");
    makeFile(sorted(), "a file");
    const Outcome report = run(record(1, "*.txt"), "Blocked");
    EXPECT_NE(report.totals.error.find("cannot create folder " + sorted()), std::string::npos);
    EXPECT_TRUE(fs::exists(inbox() + "/a.txt"));
}

TEST_F(TaskRunTest, AnyEntryTakesANameDanglingLinksAndFoldersToo) {
    makeFile(inbox() + "/a.txt", "a");
    makeFile(inbox() + "/b.txt", "b");
    fs::create_directories(sorted() + "/a.txt");
    fs::create_symlink("nowhere", sorted() + "/b.txt");
    const Outcome report = run(record(1, "*.txt"), "Taken");
    EXPECT_EQ(report.totals.succeeded, 2u);
    EXPECT_TRUE(std::regex_match(report.results[0].target,
                                 std::regex(sorted() + "/" + kPart + "_a\\.txt")));
    EXPECT_TRUE(fs::is_symlink(sorted() + "/b.txt"));
}

// A selected folder that the walk enters is merged into its mirror, not moved whole; once
// empty it goes. One the walk does not enter moves whole.
TEST_F(TaskRunTest, SelectedFolderIsMergedIntoItsMirrorAndRemovedOnceEmpty) {
    makeFile(inbox() + "/Old.txt/x.txt", "x");
    makeFile(inbox() + "/Old.txt/Deep.txt/y.jpg", "y");
    fs::create_directories(inbox() + "/Old.txt/Empty.txt");
    const Outcome report = run(record(1, "*.txt"), "Merge");
    ASSERT_EQ(report.results.size(), 4u);
    EXPECT_EQ(report.results[0].status, StepStatus::Merged);
    EXPECT_EQ(report.results[0].target, sorted() + "/Old.txt");
    EXPECT_EQ(report.totals.failed, 0u);
    EXPECT_EQ(readFile(sorted() + "/Old.txt/x.txt"), "x");
    EXPECT_TRUE(fs::is_directory(sorted() + "/Old.txt/Deep.txt"));
    EXPECT_FALSE(fs::exists(sorted() + "/Old.txt/Deep.txt/y.jpg"));
    EXPECT_TRUE(fs::is_directory(sorted() + "/Old.txt/Empty.txt"));
    EXPECT_EQ(readFile(inbox() + "/Old.txt/Deep.txt/y.jpg"), "y");
    EXPECT_FALSE(fs::exists(inbox() + "/Old.txt/Empty.txt"));
    EXPECT_EQ(report.removed, std::vector<std::string>{inbox() + "/Old.txt/Empty.txt"});

    TaskRecord shallow = record(1, "*.txt", 1);
    const Outcome whole = run(shallow, "Whole");
    ASSERT_EQ(whole.results.size(), 1u);
    EXPECT_EQ(whole.results[0].status, StepStatus::Done) << whole.results[0].error;
    EXPECT_TRUE(std::regex_match(whole.results[0].target,
                                 std::regex(sorted() + "/" + kPart + "_Old\\.txt")));
    EXPECT_EQ(readFile(whole.results[0].target + "/Deep.txt/y.jpg"), "y");
}

TEST_F(TaskRunTest, PlanPlacesCollisionsWithinTheRunAndTouchesNothing) {
    makeFile(inbox() + "/a.txt");
    makeFile(inbox() + "/Notes/a.txt");
    TaskRecord r = record(1, "*.txt");
    r.flat = true;
    const RunPlan plan = planRecord(r, "Preview");
    ASSERT_EQ(plan.steps.size(), 2u);
    EXPECT_EQ(plan.steps[0].target, sorted() + "/a.txt");
    EXPECT_TRUE(
        std::regex_match(plan.steps[1].target, std::regex(sorted() + "/" + kPart + "_a\\.txt")));
    EXPECT_EQ(plan.foldersToMake, std::vector<std::string>{sorted()});
    EXPECT_FALSE(fs::exists(sorted()));
    EXPECT_TRUE(fs::exists(inbox() + "/a.txt"));
}

TEST_F(TaskRunTest, ObserverSeesEachStepAndCanStopTheRun) {
    makeFile(inbox() + "/a.txt");
    makeFile(inbox() + "/b.txt");
    const Outcome report = run(record(3, "*.txt"), "Stop", nullptr, false);
    EXPECT_TRUE(report.totals.stopped);
    ASSERT_EQ(report.results.size(), 1u);
    EXPECT_EQ(report.results[0].status, StepStatus::Done);
    EXPECT_FALSE(fs::exists(inbox() + "/a.txt"));
    EXPECT_TRUE(fs::exists(inbox() + "/b.txt"));
}

// Another program creates the planned target between the plan and the action.
class RacingFiles : public test::ForwardingFiles {
  public:
    ActionResult rename(const OpenFolder& from, const std::string& name,
                        const EntryIdentity& expected, const OpenFolder& to,
                        const std::string& newName, EntryIdentity& made) override {
        race(to->path() + newName);
        return system.rename(from, name, expected, to, newName, made);
    }
    ActionResult placeTemporary(const OpenFolder& folder, const TemporaryCopy& copy,
                                const std::string& name, EntryIdentity& made) override {
        race(folder->path() + name);
        return system.placeTemporary(folder, copy, name, made);
    }
    void race(const std::string& target) {
        if (raced) return;
        raced = true;
        test::writeFile(target, "theirs");
    }
    bool raced = false;
};

TEST_F(TaskRunTest, TargetCreatedJustBeforeTheActionSurvivesUntouched) {
    for (int action : {1, 2}) {
        makeFile(inbox() + "/a.txt", "ours");
        RacingFiles files;
        const Outcome report = run(record(action, "*.txt"), "Race", &files);
        ASSERT_EQ(report.results.size(), 1u);
        EXPECT_TRUE(report.ok(0)) << report.results[0].error;
        EXPECT_EQ(readFile(sorted() + "/a.txt"), "theirs");
        EXPECT_EQ(readFile(report.results[0].target), "ours");
        fs::remove_all(sorted());
    }
}

// Trashing merges like deleting: a folder the walk enters is emptied entry by entry and
// removed at the end. The desktop's own tools see every trashed entry where it came from.
TEST_F(TaskRunTest, TrashRunMergesLikeDeleteAndTheDesktopSeesWhatItTrashed) {
    makeFile(inbox() + "/a.txt", "a");
    makeFile(inbox() + "/old.txt/x.txt", "x");
    makeFile(inbox() + "/old.txt/keep.jpg", "keep");
    fs::create_directories(inbox() + "/old.txt/empty.txt");
    const std::string data = scratch.file("data");
    const test::ScopedVariable home("XDG_DATA_HOME", data);
    TaskRecord r = record(4, "*.txt");
    r.targetFolder = "";
    const Outcome report = run(r, "Trash");
    ASSERT_TRUE(report.totals.error.empty()) << report.totals.error;
    ASSERT_EQ(report.results.size(), 4u);
    EXPECT_EQ(report.totals.failed, 0u);
    EXPECT_EQ(report.results[0].target, data + "/Trash/files/a.txt");
    EXPECT_EQ(report.results[1].status, StepStatus::Merged);
    EXPECT_EQ(readFile(data + "/Trash/files/x.txt"), "x");
    EXPECT_FALSE(fs::exists(inbox() + "/old.txt/empty.txt"));
    EXPECT_EQ(readFile(inbox() + "/old.txt/keep.jpg"), "keep");
    EXPECT_EQ(report.removed, std::vector<std::string>{inbox() + "/old.txt/empty.txt"});
    if (test::trashCliPresent()) {
        const std::string listed = test::trashList(data);
        for (const char* path : {"/a.txt", "/old.txt/x.txt"}) {
            EXPECT_NE(listed.find(" " + inbox() + path + "\n"), std::string::npos) << listed;
        }
    }
    // An entry changed between the plan and the action stays where it is.
    makeFile(inbox() + "/a.txt", "a");
    const RunPlan plan = planRecord(r, "Changed");
    makeFile(inbox() + "/a.txt", "changed");
    Recorder recorder;
    ExecuteOptions options;
    options.observer = &recorder;
    executePlan(plan, options);
    ASSERT_EQ(recorder.results.size(), 2u);
    EXPECT_EQ(recorder.results[0].status, StepStatus::Failed);
    EXPECT_EQ(readFile(inbox() + "/a.txt"), "changed");
}

// Only a plain target name with the very same bytes counts; same size is not enough.
TEST_F(TaskRunTest, SkipSameLeavesOnlyEntriesWhoseTargetHoldsTheSameContent) {
    makeFile(inbox() + "/same.txt", "abc");
    makeFile(sorted() + "/same.txt", "abc");
    makeFile(inbox() + "/Notes/other.txt", "abc");
    makeFile(sorted() + "/Notes/other.txt", "abd");
    TaskRecord r = record(1, "*.txt");
    r.skipSame = true;
    PlanOptions preview;
    preview.identities = false;
    EXPECT_EQ(planRecord(r, "Preview", preview).steps.at(0).status, StepStatus::Same);

    const Outcome report = run(r, "Skip");
    ASSERT_EQ(report.results.size(), 2u);
    EXPECT_EQ(report.results[0].status, StepStatus::Same);
    EXPECT_EQ(report.results[0].target, sorted() + "/same.txt");
    EXPECT_EQ(readFile(inbox() + "/same.txt"), "abc");
    EXPECT_EQ(report.results[1].status, StepStatus::Done);
    EXPECT_TRUE(std::regex_match(report.results[1].target,
                                 std::regex(sorted() + "/Notes/" + kPart + "_other\\.txt")));
    EXPECT_EQ(readFile(sorted() + "/Notes/other.txt"), "abd");
    EXPECT_FALSE(fs::exists(inbox() + "/Notes/other.txt"));
}

// A child process that keeps a file open for writing until told to close it.
class Writer {
  public:
    explicit Writer(const std::string& path) {
        int ready[2];
        if (::pipe(ready) != 0 || ::pipe(release_) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            ::close(release_[1]);  // so that the parent's close is seen as the end
            const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
            char byte = fd >= 0 ? 'y' : 'n';
            (void)!::write(ready[1], &byte, 1);
            (void)!::read(release_[0], &byte, 1);
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release_[0]);
        char byte = 'n';
        opened_ = ::read(ready[0], &byte, 1) == 1 && byte == 'y';
        ::close(ready[0]);
    }
    ~Writer() { close(); }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;
    bool opened() const { return opened_; }
    void close() {
        if (pid_ <= 0) return;
        ::close(release_[1]);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

  private:
    int release_[2] = {-1, -1};
    pid_t pid_ = -1;
    bool opened_ = false;
};

// Busy is no failure: the entry stays for a later run, which takes it once it is complete.
TEST_F(TaskRunTest, EntryStillBeingWrittenIsBusyAndTakenByTheNextRun) {
    makeFile(inbox() + "/writing.txt", "half");
    makeFile(inbox() + "/done.txt", "whole");
    makeFile(inbox() + "/film.part", "dl");
    Writer writer(inbox() + "/writing.txt");
    ASSERT_TRUE(writer.opened());
    const Outcome first = run(record(1, "*.txt;*.*"), "Busy");
    ASSERT_EQ(first.results.size(), 3u);
    EXPECT_EQ(first.results[0].status, StepStatus::Done);  // done.txt
    EXPECT_EQ(first.results[1].status, StepStatus::Busy);  // writing.txt
    EXPECT_EQ(first.results[2].status, StepStatus::Busy);  // film.part
    EXPECT_EQ(first.totals.failed, 0u);
    EXPECT_EQ(readFile(inbox() + "/writing.txt"), "half");

    writer.close();
    const Outcome next = run(record(1, "*.txt"), "Busy");
    ASSERT_EQ(next.results.size(), 1u);
    EXPECT_EQ(next.results[0].status, StepStatus::Done);
    EXPECT_EQ(readFile(sorted() + "/writing.txt"), "half");
}

}  // namespace
}  // namespace kestrune
