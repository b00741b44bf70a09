// A full disk stood in for by a file size limit in a child process (fork, setrlimit).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "run/history/journal.h"
#include "run/history/run_history.h"
#include "support/scratch_dir.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::system_clock;

const Clock::time_point kStart = Clock::time_point(std::chrono::seconds(1796793153));

RunPlan onePlan() {
    RunPlan plan;
    plan.task = "Tidy";
    plan.record = {"/src", "/dst", 1, 3, "*.txt", false};
    PlanStep step;
    step.action = Action::Move;
    step.source = "/src/a.txt";
    step.target = "/dst/a.txt";
    step.identity = {2049, 77, EntryType::File, 5, 1000000001, 1796793153000000001};
    plan.steps = {step, step, step, step, step};
    for (std::size_t i = 1; i < plan.steps.size(); ++i) plan.steps[i].source += std::to_string(i);
    return plan;
}

class JournalOnAFullDisk : public test::ScratchTest {};

// The child may write only so much: the journal fills the "disk" part-way.
int journalUnderWriteLimit(const std::string& stateFolder, rlim_t limit) {
    const pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit bytes{limit, limit};
        setrlimit(RLIMIT_FSIZE, &bytes);
        try {
            JournalWriter writer(stateFolder, onePlan(), kStart);
            for (std::size_t i = 0; i < 10000; ++i) {
                if (!writer.stepDone(i % 2, {StepStatus::Done, "", "/target", {}})) {
                    _exit(writer.error().empty() ? 3 : 1);
                }
                writer.durable();
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

TEST_F(JournalOnAFullDisk, AFullDiskStopsTheRunWhereItsJournalStopsAndKeepsWhatWasRecorded) {
    // Not even the plan fits: the run may not start, and no journal is left.
    EXPECT_EQ(journalUnderWriteLimit(scratch.file("small"), 200), 2);
    EXPECT_TRUE(fs::is_empty(historyFolderOf(scratch.file("small"))));

    EXPECT_EQ(journalUnderWriteLimit(scratch.file("state"), 8192), 1);
    const std::vector<HistoryEntry> history = readHistory(scratch.file("state"));
    ASSERT_EQ(history.size(), 1u);
    EXPECT_GT(history[0].journal.figures.done, 10u);
    EXPECT_EQ(history[0].state, RunState::Interrupted);
}

}  // namespace
}  // namespace kestrune
