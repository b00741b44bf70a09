#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <set>

#include "run/history/journal.h"
#include "run/history/journal_reader.h"
#include "run/history/journal_test.h"
#include "run/history/run_history.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using test::awkwardPlan;
using test::Clock;
using test::JournalTest;
using test::kStart;
using test::readFile;
using test::writeFile;

void expectSamePlan(const RunPlan& got, const RunPlan& want) {
    EXPECT_EQ(got.task, want.task);
    EXPECT_EQ(got.record.sourceFolder, want.record.sourceFolder);
    EXPECT_EQ(got.record.targetFolder, want.record.targetFolder);
    EXPECT_EQ(got.record.action, want.record.action);
    EXPECT_EQ(got.record.depthCode, want.record.depthCode);
    EXPECT_EQ(got.record.filters, want.record.filters);
    EXPECT_EQ(got.record.flat, want.record.flat);
    ASSERT_EQ(got.roots.size(), want.roots.size());
    for (std::size_t i = 0; i < got.roots.size(); ++i) {
        EXPECT_EQ(got.roots[i].path, want.roots[i].path);
        EXPECT_EQ(got.roots[i].real, want.roots[i].real);
        EXPECT_EQ(got.roots[i].id, want.roots[i].id);
    }
    EXPECT_EQ(got.trash.folder, want.trash.folder);
    EXPECT_EQ(got.trash.top, want.trash.top);
    EXPECT_EQ(got.foldersToMake, want.foldersToMake);
    ASSERT_EQ(got.steps.size(), want.steps.size());
    for (std::size_t i = 0; i < got.steps.size(); ++i) {
        EXPECT_EQ(got.steps[i].action, want.steps[i].action);
        EXPECT_EQ(got.steps[i].source, want.steps[i].source);
        EXPECT_EQ(got.steps[i].target, want.steps[i].target);
        EXPECT_EQ(got.steps[i].identity, want.steps[i].identity);
        EXPECT_EQ(got.steps[i].status, want.steps[i].status);
        EXPECT_EQ(got.steps[i].error, want.steps[i].error);
        EXPECT_EQ(got.steps[i].origin, want.steps[i].origin);
    }
    ASSERT_EQ(got.unreadable.size(), 1u);
    EXPECT_EQ(got.unreadable[0].folder, want.unreadable[0].folder);
    EXPECT_EQ(got.foldersToRemove, want.foldersToRemove);
    EXPECT_EQ(got.shapes, want.shapes);
}

bool holdsDoneRecord(const std::string& path) {
    return readFile(path).find("\ndone\t") != std::string::npos;
}

const StepResult kMoved{
    StepStatus::Done, "", "/dst\nout/a\tb\\tc", {2049, 77, EntryType::File, 5, 1, 2}};
const StepResult kFailed{StepStatus::Failed, "the source changed\twhile it was copied", "", {}};
const FolderShape kShape{0700, 11, -12};

// A journal of every record, ended: of the awkward plan, or of a plain one of short paths.
std::string wholeJournal(const std::string& stateFolder, bool awkward = true) {
    RunPlan plan = awkwardPlan();
    if (!awkward) {
        plan.roots = {{"/s", "/s", {1, 2}}};
        plan.trash = {"/t", ""};
        PlanStep plain;
        plain.source = "/s/a";
        for (std::size_t i = 0; i < plan.steps.size(); ++i) plan.steps.set(i, plain);
        plan.foldersToMake = plan.foldersToRemove = {"/d"};
        plan.shapes = {{"/s", {}}};
    }
    JournalWriter writer(stateFolder, plan, kStart);
    const StepResult moved = awkward ? kMoved : StepResult{StepStatus::Done, "", "/d/a", {}};
    writer.folderMade(awkward ? "/dst\nout/sub\r" : "/d");
    writer.copied(0, awkward ? ".kestrune\t~1" : ".t", moved.made);
    writer.placed(0, moved);
    writer.stepDone(0, moved);
    writer.stepDone(1, awkward ? kFailed : StepResult{StepStatus::Failed, "e", "", {}});
    writer.folderRemoved(awkward ? "/src\\in/empty" : "/s", kShape);
    writer.finish(RunState::Done);
    return writer.path();
}

TEST_F(JournalTest, EveryRecordReadsBackAsWrittenAndOutcomesGoToDiskInBatches) {
    const RunPlan plan = awkwardPlan();
    JournalWriter writer(scratch.folder() + "state/", plan, kStart);
    EXPECT_EQ(writer.id(), "20261209T051233.000000Z");
    EXPECT_EQ(writer.path(), scratch.file("state/history/" + writer.id() + ".journal"));

    const JournalContent before = readJournal(writer.path());
    EXPECT_EQ(before.version, 2);
    EXPECT_TRUE(before.planComplete);
    EXPECT_EQ(before.started, "2026-12-09T05:12:33Z");
    expectSamePlan(before.plan, plan);
    EXPECT_EQ(before.ownState(), RunState::Interrupted);

    writer.folderMade("/dst\nout/sub\r");
    writer.copied(0, ".kestrune\t~1", kMoved.made);
    writer.placed(0, kMoved);
    EXPECT_TRUE(writer.stepDone(0, kMoved));
    EXPECT_FALSE(holdsDoneRecord(writer.path())) << "a record per entry is not written alone";
    writer.durable();
    EXPECT_TRUE(holdsDoneRecord(writer.path()));
    EXPECT_TRUE(writer.stepDone(1, kFailed));
    writer.folderRemoved("/src\\in/empty", kShape);
    writer.finish(RunState::Done);

    const JournalContent after = readJournal(writer.path());
    expectSamePlan(after.plan, plan);
    EXPECT_EQ(after.foldersMade, plan.foldersToMake);
    ASSERT_EQ(after.foldersRemoved.size(), 1u);
    EXPECT_EQ(after.foldersRemoved[0].first, "/src\\in/empty");
    EXPECT_EQ(after.foldersRemoved[0].second, kShape);
    ASSERT_EQ(after.copies.size(), 1u);
    EXPECT_EQ(after.copies[0].temporary, ".kestrune\t~1");
    EXPECT_EQ(after.copies[0].identity, kMoved.made);
    ASSERT_EQ(after.placed.size(), 1u);
    EXPECT_EQ(after.placed[0].result.target, kMoved.target);
    ASSERT_EQ(after.outcomes.size(), 2u);
    EXPECT_EQ(after.outcomes[0].result.target, kMoved.target);
    EXPECT_EQ(after.outcomes[0].result.made, kMoved.made);
    EXPECT_EQ(after.outcomes[1].result.error, kFailed.error);
    // The unreadable folder failed from the start.
    EXPECT_EQ(after.figures, (RunFigures{1, 2, 0, 0}));
    EXPECT_EQ(after.figures, writer.figures());
    EXPECT_EQ(after.ownState(), RunState::Done);
    const JournalContent summary =
        parseJournal(readFile(writer.path()), "j", JournalDetail::Summary);
    EXPECT_EQ(summary.figures, after.figures);
    EXPECT_EQ(summary.endTime, after.endTime);

    // Two runs that start at the same moment never share an id.
    JournalWriter twin(scratch.folder() + "state", plan, kStart);
    EXPECT_EQ(twin.id(), "20261209T051233.000001Z");
}

// A kill or a power cut can end the file at any byte: what is read is always a whole prefix
// of what was written. Recovery ends it as interrupted, once, with the same records.
TEST_F(JournalTest, AFileCutAtAnyByteReadsAsAPrefixAndIsEndedOnce) {
    const std::string path = wholeJournal(scratch.folder(), false);
    const std::string whole = readFile(path);
    const std::size_t runEnd = whole.find('\n', whole.find('\n') + 1) + 1;
    const std::size_t actingEnd = whole.find("\nmade\t") + 1;
    std::size_t seen = 0;
    for (std::size_t length = 0; length <= whole.size(); ++length) {
        writeFile(path, whole.substr(0, length));
        if (length < runEnd) {
            EXPECT_THROW(readJournal(path), JournalError) << length;
            continue;
        }
        const JournalContent cut = readJournal(path);
        ASSERT_GE(cut.outcomes.size(), seen) << length;
        seen = cut.outcomes.size();
        ASSERT_LE(cut.soundLength, length);
        ASSERT_EQ(whole[cut.soundLength - 1], '\n') << length;
        if (length == whole.size()) continue;
        EXPECT_FALSE(cut.ended) << length;
        // Every byte of the run's records; in its plan, a cut at and just before a line's end.
        if (length < actingEnd && whole[length - 1] != '\n' && whole[length] != '\n') continue;
        markInterrupted(path);
        const std::string marked = readFile(path);
        const JournalContent ended = readJournal(path);
        EXPECT_EQ(ended.outcomes.size(), seen);
        EXPECT_TRUE(ended.ended && ended.end == RunState::Interrupted) << length;
        markInterrupted(path);
        EXPECT_EQ(readFile(path), marked) << "ended twice at " << length;
    }
    EXPECT_EQ(seen, 2u);
}

// A long journal is read a piece at a time: lines across two pieces read whole, damage in a
// later piece is found, and a torn last line is still a cut.
TEST_F(JournalTest, ALongJournalReadsPieceByPieceAsWhole) {
    const RunPlan plan = awkwardPlan(6000);
    JournalWriter writer(scratch.folder(), plan, kStart);
    for (std::size_t i = 0; i < plan.steps.size(); ++i) writer.stepDone(i, kMoved);
    writer.finish(RunState::Done);
    const std::string whole = readFile(writer.path());
    ASSERT_GT(whole.size(), 1u << 19) << "several pieces";

    const JournalContent read = readJournal(writer.path());
    expectSamePlan(read.plan, plan);
    ASSERT_EQ(read.outcomes.size(), plan.steps.size());
    EXPECT_EQ(read.outcomes.back().result.made, kMoved.made);
    EXPECT_TRUE(read.ended);
    EXPECT_EQ(read.soundLength, whole.size());

    const std::size_t cut = whole.size() - 10;
    writeFile(writer.path(), whole.substr(0, cut));
    const JournalContent torn = readJournal(writer.path());
    EXPECT_FALSE(torn.ended);
    EXPECT_EQ(torn.soundLength, whole.rfind('\n', cut) + 1);

    std::string damaged = whole;
    damaged[whole.size() / 2] ^= 1;
    writeFile(writer.path(), damaged);
    EXPECT_THROW(readJournal(writer.path()), JournalError);
}

// Every line but the first carries its checksum: damage before the last line is named,
// damage in the last line is where the journal was cut.
TEST_F(JournalTest, OneFlippedByteMakesTheJournalUnreadableUnlessInItsLastLine) {
    const std::string path = wholeJournal(scratch.folder());
    const std::string name = "history/" + fs::path(path).filename().string();
    const std::string whole = readFile(path);
    const std::size_t lastLine = whole.rfind('\n', whole.size() - 2) + 1;
    for (std::size_t at = 0; at < whole.size(); ++at) {
        std::string damaged = whole;
        damaged[at] = static_cast<char>(damaged[at] ^ 1);
        // The line feed before the last line joins the two: they read as one torn line.
        if (at + 1 >= lastLine) {
            const JournalContent cut = parseJournal(damaged, name);
            EXPECT_FALSE(cut.ended) << at;
            EXPECT_LE(cut.soundLength, lastLine) << at;
            continue;
        }
        const std::size_t line =
            1 + static_cast<std::size_t>(
                    std::count(whole.begin(), whole.begin() + static_cast<long>(at), '\n'));
        try {
            parseJournal(damaged, name, JournalDetail::Summary);
            ADD_FAILURE() << "read with byte " << at << " flipped";
        } catch (const JournalError& error) {
            const std::string message = error.what();
            EXPECT_EQ(message.rfind(name + " cannot be read: ", 0), 0u) << message;
            if (line > 1) {
                EXPECT_NE(message.find("line " + std::to_string(line) + " "), std::string::npos)
                    << message;
            }
        }
        if (at % 97 == 0) {
            writeFile(path, damaged);
            EXPECT_THROW(markInterrupted(path), JournalError);
            EXPECT_EQ(readFile(path), damaged) << "an unreadable journal is never written to";
        }
    }
}

// Journals written before checksums still read, and are ended in their own format.
TEST_F(JournalTest, VersionOneJournalsStillRead) {
    const std::string head =
        "kestrune-journal\t1\n"
        "run\t20261209T051233.000000Z\t2026-12-09T05:12:33Z\tOld\t/src\t/dst\t1\t0\t*.*\t0\t\n"
        "folder\t/dst/sub\n"
        "step\t1\tplanned\t/src/a\t/dst/sub/a\t2049\t7\tfile\t5\t1\t2\t\n"
        "step\t1\tplanned\t/src/b\t/dst/sub/b\t2049\t8\tfile\t5\t1\t2\t\n"
        "unreadable\t/src/locked\tPermission denied\n"
        "acting\n"
        "made\t/dst/sub\n"
        "done\t0\tok\t/dst/sub/a\t2049\t7\tfile\t5\t1\t2\t\n";
    const std::string tail = "removed\t/src/empty\n";
    const std::string end = "end\tdone\t2026-12-09T05:12:34Z\t1\t0\n";
    struct Case {
        const char* what;
        std::string text;
        bool readable;
        bool ended;
    };
    const std::vector<Case> cases = {
        {"whole", head + tail + end, true, true},
        {"cut short", head + tail + end.substr(0, 9), true, false},
        {"a damaged last line", head + tail + "done\tnot a number\n", true, false},
        {"a damaged line amid", head + "done\tnot a number\n" + tail + end, false, false},
        {"a run record of garbage", "kestrune-journal\t1\nrun\tgarbage\n", false, false},
        {"records after an end", head + end + "made\t/dst/sub\n" + end, false, false},
    };
    const std::string path = scratch.file("history/old.journal");
    fs::create_directories(scratch.file("history"));
    for (const Case& c : cases) {
        writeFile(path, c.text);
        if (!c.readable) {
            EXPECT_THROW(readJournal(path), JournalError) << c.what;
            continue;
        }
        const JournalContent run = readJournal(path);
        EXPECT_EQ(run.version, 1) << c.what;
        EXPECT_EQ(run.ended, c.ended) << c.what;
        EXPECT_EQ(run.plan.steps.size(), 2u) << c.what;
        ASSERT_EQ(run.outcomes.size(), 1u) << c.what;
        EXPECT_EQ(run.figures, (RunFigures{1, 1, 0, 0})) << c.what;
        EXPECT_EQ(run.foldersRemoved.size(), 1u) << c.what;
        if (run.ended) continue;
        markInterrupted(path, {{}, {}, {{1, kFailed}}});
        const std::string marked = readFile(path);
        const std::string last = marked.substr(marked.rfind('\n', marked.size() - 2) + 1);
        EXPECT_EQ(last.rfind("end\tinterrupted\t", 0), 0u) << c.what;
        EXPECT_EQ(std::count(last.begin(), last.end(), '\t'), 4) << "no checksum: " << c.what;
        const JournalContent ended = readJournal(path);
        EXPECT_EQ(ended.figures, (RunFigures{1, 2, 0, 0})) << c.what;
        EXPECT_EQ(ended.ownState(), RunState::Interrupted) << c.what;
    }
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
        // Long enough that the history reads only the ends of a journal with an end line.
        RunPlan plan = awkwardPlan(2000);
        plan.task = runs[i].name;
        plan.unreadable.clear();
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

// A run's steps an undo took back stay taken back until the undo is undone in turn.
TEST_F(JournalTest, StepsUndoneAreThoseTheStandingUndosTookBack) {
    const std::string state = scratch.folder();
    int second = 0;
    // Journals a run whose step i takes back step origins[i] with outcome outcomes[i].
    const auto journal = [&](const std::vector<std::size_t>& origins,
                             const std::vector<StepStatus>& outcomes, const std::string& undoes) {
        RunPlan plan = awkwardPlan(origins.size());
        for (std::size_t i = 0; i < origins.size(); ++i) {
            PlanStep step = plan.steps[i];
            step.origin = origins[i];
            plan.steps.set(i, step);
        }
        JournalWriter writer(state, plan, kStart + std::chrono::seconds(second++), undoes);
        for (std::size_t i = 0; i < outcomes.size(); ++i)
            writer.stepDone(i, {outcomes[i], "", "", {}});
        writer.finish(RunState::Done);
        return writer.id();
    };
    using S = StepStatus;
    const std::string run =
        journal({kNoOrigin, kNoOrigin, kNoOrigin}, {S::Done, S::Done, S::Done}, "");
    using Steps = std::vector<std::size_t>;
    EXPECT_EQ(stepsUndone(state, run), Steps{});
    const std::string undo = journal({2, 1, 0}, {S::Done, S::Failed, S::Done}, run);
    EXPECT_EQ(stepsUndone(state, run), (Steps{0, 2}));
    journal({0}, {S::Done}, undo);  // the undo's step 0 redone: the run's step 2 stands again
    EXPECT_EQ(stepsUndone(state, run), Steps{0});
    journal({2, 1}, {S::Done, S::Done}, run);
    EXPECT_EQ(stepsUndone(state, run), (Steps{0, 1, 2}));
}

}  // namespace
}  // namespace kestrune
