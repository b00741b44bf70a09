// A full disk stood in for by a file size limit in a child process (fork, setrlimit); a live
// run in another process.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "run/history/journal.h"
#include "run/history/journal_test.h"
#include "run/history/run_history.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using test::awkwardPlan;
using test::Clock;
using test::JournalTest;
using test::kStart;
using test::writeFile;

// The child may write only so much: the journal fills the "disk" part-way. After the first
// write that fails the run stops and the journal is not written again, not even its end.
int journalUnderWriteLimit(const std::string& stateFolder, rlim_t limit) {
    const pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit bytes{limit, limit};
        setrlimit(RLIMIT_FSIZE, &bytes);
        try {
            JournalWriter writer(stateFolder, awkwardPlan(2000), kStart);
            for (std::size_t i = 0; i < 2000; ++i) {
                if (!writer.stepDone(i, {StepStatus::Done, "", "/target", {}})) {
                    const bool said = writer.error().find("cannot be written: File too large") !=
                                      std::string::npos;
                    writer.finish(RunState::Interrupted);
                    _exit(said ? 1 : 3);
                }
                if (i % 32 == 0) writer.durable();
            }
            _exit(4);
        } catch (const JournalError&) {
            _exit(2);
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(JournalTest, AFullDiskStopsTheRunAndLeavesASoundPrefix) {
    // Not even the plan fits: the run may not start, and no journal is left.
    EXPECT_EQ(journalUnderWriteLimit(scratch.file("small"), 200), 2);
    EXPECT_TRUE(fs::is_empty(historyFolderOf(scratch.file("small"))));

    const std::string state = scratch.file("state");
    EXPECT_EQ(journalUnderWriteLimit(state, 256 * 1024), 1);
    const std::vector<HistoryEntry> history = readHistory(state);
    ASSERT_EQ(history.size(), 1u);
    EXPECT_GT(history[0].journal.figures.done, 10u);
    EXPECT_EQ(history[0].state, RunState::Interrupted);
    const JournalContent cut = readJournal(history[0].path);
    EXPECT_LT(cut.soundLength, fs::file_size(history[0].path)) << "cut mid-record";
    markInterrupted(history[0].path);
    EXPECT_EQ(readJournal(history[0].path).figures, cut.figures);
    EXPECT_EQ(readHistory(state)[0].state, RunState::Interrupted);
}

// A child that keeps a run's journal open until told to end.
class LiveChild {
  public:
    LiveChild(const std::string& stateFolder, Clock::time_point started) {
        int ready[2], go[2];
        EXPECT_EQ(pipe(ready), 0);
        EXPECT_EQ(pipe(go), 0);
        pid_ = fork();
        if (pid_ == 0) {
            close(ready[0]);
            close(go[1]);
            {
                JournalWriter writer(stateFolder, awkwardPlan(), started);
                char byte = 1;
                if (write(ready[1], &byte, 1) != 1 || read(go[0], &byte, 1) < 0) _exit(2);
            }
            _exit(0);
        }
        char byte = 0;
        EXPECT_EQ(read(ready[0], &byte, 1), 1);
        go_ = go[1];
        for (const int fd : {ready[0], ready[1], go[0]}) close(fd);
    }
    ~LiveChild() { end(); }
    void end() {
        if (pid_ <= 0) return;
        close(go_);
        waitpid(pid_, nullptr, 0);
        pid_ = 0;
    }

  private:
    pid_t pid_ = 0;
    int go_ = -1;
};

// An unreadable journal is named and stands aside; a live run reads as running, and no
// pruning takes its journal.
TEST_F(JournalTest, HistoryNamesUnreadableJournalsAndKeepsLiveRuns) {
    const std::string state = scratch.folder();
    JournalWriter live(state, awkwardPlan(), kStart);
    const std::string garbage = "20261209T051234.000000Z";
    writeFile(historyFolderOf(state) + "/" + garbage + ".journal",
              "kestrune-journal\t1\nrun\tgarbage\n");
    {
        JournalWriter done(state, awkwardPlan(), kStart + std::chrono::seconds(2));
        done.finish(RunState::Done);
    }
    { JournalWriter killed(state, awkwardPlan(), kStart + std::chrono::seconds(3)); }
    LiveChild child(state, kStart + std::chrono::seconds(4));

    struct Row {
        RunState state;
        const char* id;
    };
    const std::vector<Row> expected = {
        {RunState::Running, "20261209T051237.000000Z"},
        {RunState::Interrupted, "20261209T051236.000000Z"},
        {RunState::Done, "20261209T051235.000000Z"},
        {RunState::Unreadable, garbage.c_str()},
        {RunState::Running, "20261209T051233.000000Z"},
    };
    const std::vector<HistoryEntry> history = readHistory(state);
    ASSERT_EQ(history.size(), expected.size());
    for (std::size_t i = 0; i < history.size(); ++i) {
        EXPECT_EQ(runStateWord(history[i].state), std::string(runStateWord(expected[i].state)))
            << i;
        EXPECT_EQ(history[i].id, expected[i].id);
        EXPECT_EQ(history[i].problem.empty(), expected[i].state != RunState::Unreadable) << i;
    }
    EXPECT_EQ(history[3].problem, "history/" + garbage +
                                      ".journal cannot be read: line 2 holds a wrong number of "
                                      "fields");
    EXPECT_TRUE(stepsUndone(state, history[2].id).empty());

    pruneHistory(state, 1);
    std::set<std::string> kept;
    for (const HistoryEntry& entry : readHistory(state)) kept.insert(entry.id);
    EXPECT_EQ(kept, (std::set<std::string>{expected[0].id, expected[4].id}));
    child.end();
    EXPECT_EQ(readHistory(state)[0].state, RunState::Interrupted);
}

}  // namespace
}  // namespace kestrune
