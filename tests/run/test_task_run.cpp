#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include "platform/file_actions.h"
#include "run/task_run.h"
#include "tree_helpers.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using test::makeFile;
using test::readFile;

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
    const RunReport report = runTaskRecord(record(2, "*.txt;*.doc", 2), "Inbox");
    ASSERT_TRUE(report.error.empty()) << report.error;
    ASSERT_EQ(report.entries.size(), 3u);
    EXPECT_EQ(report.entries[0].source, inbox() + "/a.txt");
    EXPECT_TRUE(
        std::regex_match(report.entries[0].target, std::regex(sorted() + "/" + kPart + "a\\.txt")));
    EXPECT_EQ(report.entries[1].target, sorted() + "/b.doc");
    EXPECT_EQ(report.entries[2].source, inbox() + "/Notes/a.txt");
    EXPECT_EQ(report.entries[2].target, sorted() + "/Notes/a.txt");
    EXPECT_EQ(report.succeeded, 3u);
    EXPECT_EQ(readFile(sorted() + "/a.txt"), "sorted a");
    EXPECT_EQ(readFile(report.entries[0].target), "inbox a");
    EXPECT_EQ(readFile(sorted() + "/Notes/a.txt"), "notes a");
    EXPECT_EQ(readFile(inbox() + "/a.txt"), "inbox a");
    EXPECT_FALSE(fs::exists(sorted() + "/Notes/Old"));
}

TEST_F(TaskRunTest, WorkedExampleFlatGivesEachCollisionARandomPartAndCreatesNoSubfolders) {
    makeExample();
    TaskRecord flat = record(2, "*.txt;*.doc", 2);
    flat.flat = true;
    const RunReport report = runTaskRecord(flat, "Inbox");
    ASSERT_EQ(report.entries.size(), 3u);
    const std::regex renamed(sorted() + "/" + kPart + "_a\\.txt");
    EXPECT_TRUE(std::regex_match(report.entries[0].target, renamed));
    EXPECT_EQ(report.entries[1].target, sorted() + "/b.doc");
    EXPECT_TRUE(std::regex_match(report.entries[2].target, renamed));
    EXPECT_NE(report.entries[0].target, report.entries[2].target);
    EXPECT_EQ(readFile(report.entries[2].target), "notes a");
    EXPECT_FALSE(fs::exists(sorted() + "/Notes"));
}

TEST_F(TaskRunTest, MoveAndDeleteActOnEverySelectedEntry) {
    makeExample();
    const RunReport moved = runTaskRecord(record(1, "*.txt"), "Move");
    EXPECT_EQ(moved.succeeded, 3u);
    EXPECT_FALSE(fs::exists(inbox() + "/Notes/Old/x.txt"));
    EXPECT_EQ(readFile(sorted() + "/Notes/Old/x.txt"), "x");
    const RunReport deleted = runTaskRecord(record(3, "*.jpg;*.doc"), "Delete");
    EXPECT_EQ(deleted.succeeded, 2u);
    EXPECT_EQ(deleted.entries[0].target, "");
    EXPECT_FALSE(fs::exists(inbox() + "/c.jpg"));
}

TEST_F(TaskRunTest, RecordsThatCannotRunTouchNothing) {
    makeExample();
    auto expectRefused = [&](TaskRecord bad, const std::string& reason) {
        const RunReport report = runTaskRecord(bad, "Bad");
        EXPECT_NE(report.error.find("Task \"Bad\" cannot run: "), std::string::npos);
        EXPECT_NE(report.error.find(reason), std::string::npos) << report.error;
        EXPECT_TRUE(report.entries.empty());
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
    expectRefused(record(4, "*.*"), "action 4");
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
    EXPECT_EQ(runTaskRecord(r, "Delete").succeeded, 1u);
}

TEST_F(TaskRunTest, TargetThatIsTheSourceIsRefusedHoweverSpelled) {
    makeExample();
    fs::create_symlink(inbox(), scratch.file("alias"));
    for (const std::string& target :
         {inbox(), inbox() + "/", inbox() + "/./Notes/..", scratch.file("alias")}) {
        TaskRecord r = record(2, "*.txt");
        r.targetFolder = target;
        const RunReport report = runTaskRecord(r, "Self");
        EXPECT_NE(report.error.find("target folder is its source folder"), std::string::npos)
            << target;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(inbox()), fs::directory_iterator()), 4);
}

TEST_F(TaskRunTest, TargetInsideTheSourceIsNotWalkedAgainByLaterRuns) {
    makeFile(inbox() + "/a.txt", "a");
    TaskRecord r = record(1, "*.txt");
    r.targetFolder = inbox() + "/Sorted";
    EXPECT_EQ(runTaskRecord(r, "Inside").succeeded, 1u);
    makeFile(inbox() + "/b.txt", "b");
    const RunReport second = runTaskRecord(r, "Inside");
    ASSERT_EQ(second.entries.size(), 1u);
    EXPECT_EQ(second.entries[0].source, inbox() + "/b.txt");
    EXPECT_EQ(readFile(inbox() + "/Sorted/a.txt"), "a");
}

TEST_F(TaskRunTest, FoldersAreMadeOnlyForMoveAndCopyAndOnlyWhereEntriesGo) {
    makeFile(inbox() + "/Empty/x.jpg");
    makeFile(inbox() + "/Full/x.txt");
    runTaskRecord(record(3, "*.txt"), "Delete");
    EXPECT_FALSE(fs::exists(sorted()));
    makeFile(inbox() + "/Full/x.txt");
    runTaskRecord(record(2, "*.txt"), "Copy");
    EXPECT_TRUE(fs::exists(sorted() + "/Full/x.txt"));
    EXPECT_FALSE(fs::exists(sorted() + "/Empty"));
}

TEST_F(TaskRunTest, FolderThatCannotBeMadeFailsItsEntriesOnly) {
    makeFile(inbox() + "/a.txt", "a");
    makeFile(inbox() + "/Notes/b.txt", "b");
    makeFile(sorted() + "/Notes", "a file where the folder should be");
    const RunReport report = runTaskRecord(record(1, "*.txt"), "Blocked");
    ASSERT_EQ(report.entries.size(), 2u);
    EXPECT_TRUE(report.entries[0].ok);
    EXPECT_FALSE(report.entries[1].ok);
    EXPECT_NE(report.entries[1].error.find("cannot create folder " + sorted() + "/Notes"),
              std::string::npos);
    EXPECT_EQ(report.failed, 1u);
    EXPECT_TRUE(fs::exists(inbox() + "/Notes/b.txt"));
}

TEST_F(TaskRunTest, TargetFolderThatCannotBeMadeEndsTheRun) {
    makeFile(inbox() + "/a.txt", "a");
    makeFile(sorted(), "a file");
    const RunReport report = runTaskRecord(record(1, "*.txt"), "Blocked");
    EXPECT_NE(report.error.find("cannot create folder " + sorted()), std::string::npos);
    EXPECT_TRUE(fs::exists(inbox() + "/a.txt"));
}

TEST_F(TaskRunTest, AnyEntryTakesANameDanglingLinksAndFoldersToo) {
    makeFile(inbox() + "/a.txt", "a");
    makeFile(inbox() + "/b.txt", "b");
    fs::create_directories(sorted() + "/a.txt");
    fs::create_symlink("nowhere", sorted() + "/b.txt");
    const RunReport report = runTaskRecord(record(1, "*.txt"), "Taken");
    EXPECT_EQ(report.succeeded, 2u);
    EXPECT_TRUE(
        std::regex_match(report.entries[0].target, std::regex(sorted() + "/" + kPart + "a\\.txt")));
    EXPECT_TRUE(fs::is_symlink(sorted() + "/b.txt"));
}

// The folder made for the entries below a selected folder takes that folder's name first.
TEST_F(TaskRunTest, SelectedFolderMeetsTheFolderMadeForItsOwnEntries) {
    makeFile(inbox() + "/Old.txt/x.txt", "x");
    const RunReport report = runTaskRecord(record(1, "*.txt"), "Folder");
    ASSERT_EQ(report.entries.size(), 2u);
    EXPECT_TRUE(report.entries[0].ok) << report.entries[0].error;
    EXPECT_TRUE(std::regex_match(report.entries[0].target,
                                 std::regex(sorted() + "/" + kPart + "Old\\.txt")));
    EXPECT_EQ(readFile(report.entries[0].target + "/x.txt"), "x");
    EXPECT_FALSE(report.entries[1].ok);
    EXPECT_TRUE(fs::is_directory(sorted() + "/Old.txt"));
    EXPECT_FALSE(fs::exists(inbox() + "/Old.txt"));
}

TEST_F(TaskRunTest, PreviewPlansCollisionsWithinTheRunAndTouchesNothing) {
    makeFile(inbox() + "/a.txt");
    makeFile(inbox() + "/Notes/a.txt");
    TaskRecord r = record(1, "*.txt");
    r.flat = true;
    RunOptions options;
    options.preview = true;
    const RunReport report = runTaskRecord(r, "Preview", options);
    ASSERT_EQ(report.entries.size(), 2u);
    EXPECT_TRUE(report.preview);
    EXPECT_EQ(report.entries[0].target, sorted() + "/a.txt");
    EXPECT_TRUE(std::regex_match(report.entries[1].target,
                                 std::regex(sorted() + "/" + kPart + "_a\\.txt")));
    EXPECT_FALSE(fs::exists(sorted()));
    EXPECT_TRUE(fs::exists(inbox() + "/a.txt"));
}

class StopAfterFirst : public RunObserver {
  public:
    bool entryDone(const EntryResult& entry) override {
        seen.push_back(entry.source);
        return false;
    }
    std::vector<std::string> seen;
};

TEST_F(TaskRunTest, ObserverSeesEachEntryAndCanStopTheRun) {
    makeFile(inbox() + "/a.txt");
    makeFile(inbox() + "/b.txt");
    StopAfterFirst observer;
    RunOptions options;
    options.observer = &observer;
    const RunReport report = runTaskRecord(record(3, "*.txt"), "Stop", options);
    EXPECT_TRUE(report.stopped);
    EXPECT_EQ(observer.seen, std::vector<std::string>{inbox() + "/a.txt"});
    EXPECT_TRUE(fs::exists(inbox() + "/b.txt"));
}

class SeeAll : public RunObserver {
  public:
    bool entryDone(const EntryResult& entry) override {
        seen.push_back(entry.source + " " + (entry.ok ? "ok" : entry.error));
        return true;
    }
    std::vector<std::string> seen;
};

TEST_F(TaskRunTest, RunThatKeepsNoEntriesStillCountsAndShowsEachOne) {
    makeFile(inbox() + "/a.txt");
    makeFile(inbox() + "/b.txt");
    makeFile(sorted() + "/b.txt");
    SeeAll observer;
    RunOptions options;
    options.observer = &observer;
    options.keepEntries = false;
    const RunReport report = runTaskRecord(record(2, "*.txt"), "Counts", options);
    EXPECT_TRUE(report.entries.empty());
    EXPECT_EQ(report.succeeded, 2u);
    EXPECT_EQ(report.failed, 0u);
    EXPECT_FALSE(report.stopped);
    EXPECT_EQ(observer.seen,
              (std::vector<std::string>{inbox() + "/a.txt ok", inbox() + "/b.txt ok"}));
}

// Another program creates the planned target between the test and the action.
class RacingFiles : public FileActions {
  public:
    ActionResult move(const std::string& source, const std::string& target) override {
        if (!raced) {
            raced = true;
            test::writeFile(target, "theirs");
        }
        return system.move(source, target);
    }
    ActionResult copy(const std::string& source, const std::string& target) override {
        if (!raced) {
            raced = true;
            test::writeFile(target, "theirs");
        }
        return system.copy(source, target);
    }
    ActionResult remove(const std::string& path) override { return system.remove(path); }
    ActionResult makeFolder(const std::string& path) override { return system.makeFolder(path); }
    bool exists(const std::string& path) override { return system.exists(path); }
    bool isFolder(const std::string& path) override { return system.isFolder(path); }

    FileActions& system = systemFileActions();
    bool raced = false;
};

TEST_F(TaskRunTest, TargetCreatedJustBeforeTheActionSurvivesUntouched) {
    for (int action : {1, 2}) {
        makeFile(inbox() + "/a.txt", "ours");
        RacingFiles files;
        RunOptions options;
        options.files = &files;
        const RunReport report = runTaskRecord(record(action, "*.txt"), "Race", options);
        ASSERT_EQ(report.entries.size(), 1u);
        EXPECT_TRUE(report.entries[0].ok) << report.entries[0].error;
        EXPECT_EQ(readFile(sorted() + "/a.txt"), "theirs");
        EXPECT_EQ(readFile(report.entries[0].target), "ours");
        fs::remove_all(sorted());
    }
}

}  // namespace
}  // namespace kestrune
