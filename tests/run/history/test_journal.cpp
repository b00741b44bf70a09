#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>

#include "run/history/journal.h"
#include "run/history/journal_reader.h"
#include "run/history/run_history.h"
#include "support/scratch_dir.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::system_clock;
using test::readFile;
using test::writeFile;

const Clock::time_point kStart = Clock::time_point(std::chrono::seconds(1796793153));

// Paths holding every character the format escapes, and an escape's look-alike.
RunPlan awkwardPlan() {
    RunPlan plan;
    plan.task = "Tidy\tup";
    plan.record = {"/src\\in", "/dst\nout", 1, 3, "*.txt;*.a\\b", true};
    plan.foldersToMake = {"/dst\nout/sub\r"};
    PlanStep step;
    step.action = Action::Move;
    step.source = "/src\\in/a\tb\\tc";
    step.target = "/dst\nout/a\tb\\tc";
    step.identity = {2049, 77, EntryType::File, 5, -1000000001, 1796793153000000001};
    plan.steps = {step, step};
    plan.steps[1].source += "2";
    plan.steps[1].status = StepStatus::Merged;
    plan.unreadable = {{"/src\\in/locked", "Permission denied"}};
    return plan;
}

void expectSamePlan(const RunPlan& got, const RunPlan& want) {
    EXPECT_EQ(got.task, want.task);
    EXPECT_EQ(got.record.sourceFolder, want.record.sourceFolder);
    EXPECT_EQ(got.record.targetFolder, want.record.targetFolder);
    EXPECT_EQ(got.record.action, want.record.action);
    EXPECT_EQ(got.record.depthCode, want.record.depthCode);
    EXPECT_EQ(got.record.filters, want.record.filters);
    EXPECT_EQ(got.record.flat, want.record.flat);
    EXPECT_EQ(got.foldersToMake, want.foldersToMake);
    ASSERT_EQ(got.steps.size(), want.steps.size());
    for (std::size_t i = 0; i < got.steps.size(); ++i) {
        EXPECT_EQ(got.steps[i].action, want.steps[i].action);
        EXPECT_EQ(got.steps[i].source, want.steps[i].source);
        EXPECT_EQ(got.steps[i].target, want.steps[i].target);
        EXPECT_EQ(got.steps[i].identity, want.steps[i].identity);
        EXPECT_EQ(got.steps[i].status, want.steps[i].status);
    }
    ASSERT_EQ(got.unreadable.size(), 1u);
    EXPECT_EQ(got.unreadable[0].folder, want.unreadable[0].folder);
}

bool holdsDoneRecord(const std::string& path) {
    return readFile(path).find("\ndone\t") != std::string::npos;
}

class JournalTest : public test::ScratchTest {};

TEST_F(JournalTest, PlanIsOnDiskBeforeTheRunActsAndOutcomesFollowInBatches) {
    const RunPlan plan = awkwardPlan();
    JournalWriter writer(scratch.folder() + "state/", plan, kStart);
    EXPECT_EQ(writer.id(), "20261209T051233.000000Z");
    EXPECT_EQ(writer.path(), scratch.file("state/history/" + writer.id() + ".journal"));

    const JournalContent before = readJournal(writer.path());
    EXPECT_TRUE(before.planComplete);
    EXPECT_EQ(before.started, "2026-12-09T05:12:33Z");
    expectSamePlan(before.plan, plan);
    EXPECT_EQ(before.ownState(), RunState::Interrupted);

    const StepResult moved{
        StepStatus::Done, "", "/dst\nout/a\tb\\tc", {2049, 77, EntryType::File, 5, 1, 2}};
    const StepResult failed{StepStatus::Failed, "the source changed\twhile it was copied", "", {}};
    writer.folderMade("/dst\nout/sub\r");
    EXPECT_TRUE(writer.stepDone(0, moved));
    EXPECT_FALSE(holdsDoneRecord(writer.path())) << "a record per entry is not written alone";
    writer.durable();
    EXPECT_TRUE(holdsDoneRecord(writer.path()));
    EXPECT_TRUE(writer.stepDone(1, failed));
    writer.folderRemoved("/src\\in/empty", {});
    writer.finish(RunState::Done);

    const JournalContent after = readJournal(writer.path());
    EXPECT_EQ(after.foldersMade, plan.foldersToMake);
    ASSERT_EQ(after.foldersRemoved.size(), 1u);
    EXPECT_EQ(after.foldersRemoved[0].first, "/src\\in/empty");
    ASSERT_EQ(after.outcomes.size(), 2u);
    EXPECT_EQ(after.outcomes[0].result.target, moved.target);
    EXPECT_EQ(after.outcomes[0].result.made, moved.made);
    EXPECT_EQ(after.outcomes[1].result.error, failed.error);
    EXPECT_EQ(after.figures.done, 1u);
    EXPECT_EQ(after.figures.failed, 1u);
    EXPECT_EQ(after.ownState(), RunState::Done);

    // Two runs that start at the same moment never share an id.
    JournalWriter twin(scratch.folder() + "state", plan, kStart);
    EXPECT_EQ(twin.id(), "20261209T051233.000001Z");
}

// A kill or a power cut can end the file at any byte: what is read is always a whole prefix
// of what was written, and only a damaged line in the middle stops the reading early.
// Marked interrupted afterwards, it reads so with the same records.
TEST_F(JournalTest, AFileCutAnywhereReadsAsAPrefixOfItsRecords) {
    std::string path;
    {
        JournalWriter writer(scratch.folder(), awkwardPlan(), kStart);
        for (std::size_t i = 0; i < 2; ++i) writer.stepDone(i, {StepStatus::Done, "", "/t", {}});
        writer.finish(RunState::Done);
        path = writer.path();
    }
    const std::string whole = readFile(path);
    const std::size_t planEnd = whole.find("acting\n") + 7;
    std::size_t seen = 0;
    for (std::size_t length = planEnd; length <= whole.size(); ++length) {
        writeFile(path, whole.substr(0, length));
        const JournalContent cut = readJournal(path);
        ASSERT_GE(cut.outcomes.size(), seen) << length;
        seen = cut.outcomes.size();
        if (length == whole.size()) continue;
        EXPECT_FALSE(cut.ended) << length;
        // Recovery ends it as interrupted: the torn line goes, the whole ones stay.
        markInterrupted(path);
        const JournalContent marked = readJournal(path);
        EXPECT_EQ(marked.outcomes.size(), seen);
        EXPECT_EQ(marked.ended && marked.end == RunState::Interrupted, true) << length;
    }
    EXPECT_EQ(seen, 2u);

    writeFile(path, whole.substr(0, planEnd) + "done\tnot a number\n" + whole.substr(planEnd));
    const JournalContent damaged = readJournal(path);
    EXPECT_TRUE(damaged.outcomes.empty());
    writeFile(path, "something else\n");
    EXPECT_THROW(readJournal(path), JournalError);
}

struct PastRun {
    const char* name;
    std::vector<StepStatus> outcomes;
    std::optional<RunState> end;  // none: killed before its end
    const char* undoes;           // the name of the run it undoes, or ""
    RunState expected;
};

TEST_F(JournalTest, HistoryListsNewestFirstWithWhatLaterUndosMadeOfEachRun) {
    using S = StepStatus;
    using R = RunState;
    // In the order they ran.
    const std::vector<PastRun> runs = {
        {"done", {S::Done, S::Done}, R::Done, "", R::Done},
        {"killed", {S::Done}, std::nullopt, "", R::Interrupted},
        {"undone", {S::Done, S::Done}, R::Done, "", R::Undone},
        {"undo of undone", {S::Done, S::Done}, R::Done, "undone", R::Done},
        {"partly", {S::Done, S::Done}, R::Done, "", R::PartlyUndone},
        {"undo of partly", {S::Done, S::Failed}, R::Done, "partly", R::Done},
        {"redone", {S::Done}, R::Done, "", R::Done},
        {"undo of redone", {S::Done}, R::Done, "redone", R::Undone},
        {"redo", {S::Done}, R::Done, "undo of redone", R::Done},
        {"undo that did nothing", {S::Failed}, R::Done, "done", R::Done},
    };
    std::map<std::string, std::string> ids;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        RunPlan plan = awkwardPlan();
        plan.task = runs[i].name;
        // Long enough that the history reads only the ends of a journal with an end line.
        plan.steps.insert(plan.steps.end(), 2000, plan.steps[0]);
        const std::string undoes = runs[i].undoes[0] != '\0' ? ids.at(runs[i].undoes) : "";
        JournalWriter writer(scratch.folder(), plan, kStart + std::chrono::seconds(i), undoes);
        ids[runs[i].name] = writer.id();
        for (std::size_t step = 0; step < runs[i].outcomes.size(); ++step) {
            writer.stepDone(step, {runs[i].outcomes[step], "", "", {}});
        }
        if (runs[i].end) writer.finish(*runs[i].end);
    }
    writeFile(historyFolderOf(scratch.folder()) + "/notes.txt", "not a journal");

    const std::vector<HistoryEntry> history = readHistory(scratch.folder());
    ASSERT_EQ(history.size(), runs.size());
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const PastRun& run = runs[runs.size() - 1 - i];
        EXPECT_EQ(history[i].journal.plan.task, run.name);
        EXPECT_EQ(runStateWord(history[i].state), std::string(runStateWord(run.expected)))
            << run.name;
        EXPECT_EQ(history[i].journal.figures.done,
                  static_cast<std::size_t>(
                      std::count(run.outcomes.begin(), run.outcomes.end(), StepStatus::Done)));
        EXPECT_GT(fs::file_size(history[i].path), 200000u);
    }
    EXPECT_EQ(journalPathOf(scratch.folder(), ids.at("killed")), history[8].path);
    EXPECT_EQ(journalPathOf(scratch.folder(), "../nothing"), "");

    pruneHistory(scratch.folder(), 3);
    const std::vector<HistoryEntry> kept = readHistory(scratch.folder());
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(kept[2].journal.plan.task, "undo of redone");
    EXPECT_TRUE(fs::exists(historyFolderOf(scratch.folder()) + "/notes.txt"));
}

}  // namespace
}  // namespace kestrune
