#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "run/execute/plan_executor.h"
#include "run/execute/task_run.h"
#include "run/plan/run_planner.h"
#include "run/tree_helpers.h"
#include "support/forwarding_files.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using test::kPart;
using test::literal;
using test::makeFile;
using test::Outcome;
using test::readFile;
using test::run;
using test::TaskRunTest;

TEST_F(TaskRunTest, WorkedExampleKeepsRelativeFolders) {
    makeExample();
    const Outcome report = run(record(2, "*.txt;*.doc", 2), "Inbox");
    ASSERT_TRUE(report.totals.error.empty()) << report.totals.error;
    ASSERT_EQ(report.results.size(), 3u);
    EXPECT_EQ(report.plan.steps[0].source, inbox() + "/a.txt");
    EXPECT_TRUE(std::regex_match(report.results[0].target,
                                 std::regex(literal(sorted()) + "/" + kPart + "_a\\.txt")));
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
    const std::regex renamed(literal(sorted()) + "/" + kPart + "_a\\.txt");
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
                                 std::regex(literal(sorted()) + "/" + kPart + "_Old\\.txt")));
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
    EXPECT_TRUE(std::regex_match(plan.steps[1].target,
                                 std::regex(literal(sorted()) + "/" + kPart + "_a\\.txt")));
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
    EXPECT_TRUE(
        std::regex_match(report.results[1].target,
                         std::regex(literal(sorted()) + "/Notes/" + kPart + "_other\\.txt")));
    EXPECT_EQ(readFile(sorted() + "/Notes/other.txt"), "abd");
    EXPECT_FALSE(fs::exists(inbox() + "/Notes/other.txt"));
}

}  // namespace
}  // namespace kestrune
