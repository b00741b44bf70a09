#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "platform/temporary_name.h"
#include "run/history/journal.h"
#include "run/history/journaled_run.h"
#include "run/history/run_history.h"
#include "run/history/run_recovery.h"
#include "run/history/run_undo.h"
#include "run/plan/run_planner.h"
#include "support/scratch_dir.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using test::makeFile;
using test::readFile;

class Recovery : public test::ScratchTest {
  protected:
    std::string state() const { return scratch.file("state"); }
    std::string in() const { return scratch.file("in"); }
    std::string out() const { return scratch.file("out"); }
    RunPlan copyPlan(const std::string& filters) const {
        return planRecord({in(), out(), 2, 0, filters, false}, "Copy");
    }
    // The failures of the undo, by the path each names.
    std::map<std::string, std::string> undoFailures() {
        struct : ExecutionObserver {
            std::map<std::string, std::string> failures;
            const RunPlan* plan = nullptr;
            bool stepDone(std::size_t index, const StepResult& result) override {
                if (result.status == StepStatus::Failed) {
                    failures[plan->steps[index].source] = result.error;
                }
                return true;
            }
        } heard;
        const UndoPlan undo = planUndoOf(state());
        heard.plan = &undo.plan;
        ExecuteOptions options;
        options.observer = &heard;
        runUndo(undo, state(), options, kDefaultHistorySize);
        return heard.failures;
    }
};

EntryIdentity identityOf(const std::string& path) {
    EntryIdentity identity;
    EXPECT_EQ(readIdentity(path, identity), 0) << path;
    return identity;
}

StepResult done(const std::string& target, const EntryIdentity& made) {
    return {StepStatus::Done, "", target, made};
}

// A journal says only what its run did. One that claims an entry the run never left where
// it says (damaged, or edited by hand) makes undo fail that entry and touch nothing else.
TEST_F(Recovery, UndoTouchesNothingAJournalCannotProve) {
    makeFile(in() + "/a.txt", "a");
    makeFile(in() + "/b.txt", "b");
    makeFile(in() + "/c.txt", "c");
    makeFile(in() + "/d.txt", "d");
    makeFile(scratch.file("elsewhere/victim.txt"), "not the run's");
    makeFile(out() + "/victim.txt", "the user's own");
    makeFile(out() + "/b.txt", "copied");
    makeFile(out() + "/c.txt", "copied, then changed");
    const RunPlan plan = copyPlan("*.txt");
    ASSERT_EQ(plan.steps.size(), 4u);
    {
        JournalWriter journal(state(), plan, std::chrono::system_clock::now());
        const std::string elsewhere = scratch.file("elsewhere/victim.txt");
        // What the journal says the copies are: a zero identity; a file outside the run's
        // folders with its own identity; a file beside the target under another name; a copy
        // changed since.
        journal.stepDone(0, done(out() + "/a.txt", {}));
        journal.stepDone(1, done(elsewhere, identityOf(elsewhere)));
        journal.stepDone(2, done(out() + "/victim.txt", identityOf(out() + "/victim.txt")));
        EntryIdentity before = identityOf(out() + "/c.txt");
        before.size = 1;
        journal.stepDone(3, done(out() + "/c.txt", before));
        journal.finish(RunState::Done);
    }
    const std::map<std::string, std::string> failures = undoFailures();
    EXPECT_EQ(failures.size(), 4u) << ::testing::PrintToString(failures);
    EXPECT_EQ(readFile(scratch.file("elsewhere/victim.txt")), "not the run's");
    EXPECT_EQ(readFile(out() + "/victim.txt"), "the user's own");
    EXPECT_EQ(readFile(out() + "/c.txt"), "copied, then changed");
    EXPECT_EQ(readFile(out() + "/b.txt"), "copied");
}

// Recovery takes back only its own run's temporary copies: another run still going puts
// its copies into the same folder meanwhile.
TEST_F(Recovery, RecoveryLeavesTheCopiesOfALiveRunAlone) {
    makeFile(in() + "/a.txt", "a");
    makeFile(in() + "/b.txt", "b");
    fs::create_directories(out());
    const RunPlan plan = copyPlan("*.txt");
    const auto now = std::chrono::system_clock::now();
    std::string deadId;
    {
        JournalWriter dead(state(), plan, now);  // cut short: no end, and its lock let go
        deadId = dead.id();
    }
    JournalWriter live(state(), plan, now + std::chrono::seconds(1));
    const std::string ours = out() + "/" + temporaryNameFor(deadId, 0);
    const std::string theirs = out() + "/" + temporaryNameFor(live.id(), 1);
    makeFile(ours, "a");
    makeFile(theirs, "b");

    const std::vector<std::string> lines = recoverInterruptedRuns(state());
    EXPECT_FALSE(fs::exists(ours)) << ::testing::PrintToString(lines);
    EXPECT_EQ(readFile(theirs), "b");
    const std::vector<HistoryEntry> history = readHistory(state());
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0].state, RunState::Running);
    EXPECT_EQ(history[1].state, RunState::Interrupted);
    EXPECT_TRUE(history[1].journal.ended);
}

// Automatic runs that find nothing are runs too; Undo Last Run passes over them to the last
// run that did something.
TEST_F(Recovery, UndoLastRunPassesOverRunsThatDidNothing) {
    makeFile(in() + "/a.txt", "a");
    const test::ScopedVariable trash("XDG_DATA_HOME", scratch.file("data"));
    for (int run = 0; run < 3; ++run) {
        const RunPlan plan = planRecord({in(), "", 4, 0, "*.txt", false}, "Trash");
        runJournaled(plan, state(), {}, kDefaultHistorySize);
    }
    EXPECT_FALSE(fs::exists(in() + "/a.txt"));
    runUndo(planUndoOf(state()), state(), {}, kDefaultHistorySize);
    EXPECT_EQ(readFile(in() + "/a.txt"), "a");
    EXPECT_THROW(planUndoOf(state()), UndoError);
}

}  // namespace
}  // namespace kestrune
