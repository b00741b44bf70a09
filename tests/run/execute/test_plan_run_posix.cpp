// Symbolic links, the freedesktop trash (checked with trash-cli), a writer in another process
// (fork).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include "run/execute/task_run.h"
#include "support/trash_cli.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using test::kPart;
using test::literal;
using test::makeFile;
using test::Outcome;
using test::readFile;
using test::Recorder;
using test::run;
using test::TaskRunTest;

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

TEST_F(TaskRunTest, AnyEntryTakesANameDanglingLinksAndFoldersToo) {
    makeFile(inbox() + "/a.txt", "a");
    makeFile(inbox() + "/b.txt", "b");
    fs::create_directories(sorted() + "/a.txt");
    fs::create_symlink("nowhere", sorted() + "/b.txt");
    const Outcome report = run(record(1, "*.txt"), "Taken");
    EXPECT_EQ(report.totals.succeeded, 2u);
    EXPECT_TRUE(std::regex_match(report.results[0].target,
                                 std::regex(literal(sorted()) + "/" + kPart + "_a\\.txt")));
    EXPECT_TRUE(fs::is_symlink(sorted() + "/b.txt"));
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

// A move takes its files' identities from the listing, and its renames look: the file listed
// is moved whatever was written to it since, another put in its place is not, and what each
// rename left is recorded whole, for its undo. A copy looks at each file when listing.
TEST_F(TaskRunTest, MoveActsOnTheFileItListedAndRecordsWhatItRenamed) {
    makeFile(inbox() + "/kept.txt", "first");
    makeFile(inbox() + "/swapped.txt", "first");
    EXPECT_FALSE(planRecord(record(2, "*.txt"), "Copy").steps[0].identity.listedOnly());
    const RunPlan plan = planRecord(record(1, "*.txt"), "Move");
    ASSERT_EQ(plan.steps.size(), 2u);
    EXPECT_TRUE(plan.steps[1].identity.listedOnly());

    test::writeFile(inbox() + "/kept.txt", "first and more");
    makeFile(inbox() + "/new.tmp", "another");
    fs::rename(inbox() + "/new.tmp", inbox() + "/swapped.txt");
    Recorder recorder;
    ExecuteOptions options;
    options.observer = &recorder;
    executePlan(plan, options);
    ASSERT_EQ(recorder.results.size(), 2u);
    const StepResult& kept = recorder.results[0];
    EXPECT_EQ(kept.status, StepStatus::Done);
    EXPECT_EQ(readFile(sorted() + "/kept.txt"), "first and more");
    EXPECT_EQ(kept.made.size, 14u);
    EXPECT_FALSE(kept.made.listedOnly());
    EXPECT_EQ(recorder.results[1].error, "the entry changed since it was listed");
    EXPECT_EQ(readFile(inbox() + "/swapped.txt"), "another");
}

}  // namespace
}  // namespace kestrune
