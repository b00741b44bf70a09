#include <gtest/gtest.h>

#include <filesystem>

#include "run/auto/auto_runner_test.h"
#include "run/history/journal.h"
#include "run/history/run_history.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::arrive;
using test::AutoRunnerTest;
using test::HandedWatch;
using test::makeFile;
using test::Time;
using test::writeFile;

TEST_F(AutoRunnerTest, AWrittenFileIsMovedOnceAfterTheQuietTimeInAJournaledRun) {
    writeTask("watch=1\n");
    start();
    at(0ms, 50);                              // reads the rules and sets the watches
    arrive(inbox() + "/Notes/new.txt", "n");  // a new folder and a file in it
    at(100ms, 200);
    at(200ms, 200);
    at(2099ms);
    EXPECT_TRUE(reasons.empty()) << "ran before the quiet time was over";
    at(2200ms, 200);  // due: runs, then takes in the run's own events
    at(5000ms, 200);
    at(60s, 200);
    // The first run after the start is a full one: what came while nobody watched goes too.
    ASSERT_EQ(reasons, std::vector<AutoReason>{AutoReason::FullRun});
    EXPECT_TRUE(fs::exists(sorted() + "/Notes/new.txt"));
    EXPECT_FALSE(fs::exists(inbox() + "/Notes/new.txt"));

    const std::vector<HistoryEntry> history = readHistory(scratch.folder());
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].journal.plan.task, "Tidy");
    EXPECT_EQ(history[0].state, RunState::Done);
    EXPECT_EQ(history[0].journal.figures.done, 1u);
    EXPECT_EQ(notices, std::vector<std::string>{"Tasks that run by themselves: Tidy"});
}

TEST_F(AutoRunnerTest, AnIntervalTaskRunsOnTimeCountedFromItsLastRun) {
    writeTask("every=1\n");
    start();
    at(0ms);  // never ran: due shortly after the start
    EXPECT_EQ(runner->nextIntervalRun("Tidy"), kStart + 10s);
    EXPECT_EQ(runner->nextIntervalRun("Other"), std::nullopt);
    EXPECT_EQ(scheduleChanges, 1);
    at(9999ms);
    EXPECT_TRUE(reasons.empty());
    EXPECT_EQ(scheduleChanges, 1);
    at(10s);
    ASSERT_EQ(reasons.size(), 1u);
    // The window's task pane shows this time: it is told each time it moves.
    EXPECT_EQ(runner->nextIntervalRun("Tidy"), kStart + 70s);
    EXPECT_EQ(scheduleChanges, 2);
    at(69s);
    EXPECT_EQ(reasons.size(), 1u);
    at(70s);
    EXPECT_EQ(reasons, std::vector<AutoReason>(2, AutoReason::Interval));

    // A new start reads the last run from the history: not overdue, so not run at once.
    // (The journals carry the system's time, so the clock follows it here.)
    clock = std::chrono::system_clock::now();
    const Time restart = clock;
    start();
    runner->turn(0);
    clock = restart + 30s;
    runner->turn(0);
    EXPECT_EQ(reasons.size(), 2u);
    clock = restart + 61s;
    runner->turn(0);
    EXPECT_EQ(reasons.size(), 3u);
}

TEST_F(AutoRunnerTest, AQueueOverflowRunsInFullAndIsToldOnce) {
    writeTask("watch=1\n");
    arrive(inbox() + "/unseen.txt", "u");  // no event will tell of it
    auto handed = std::make_unique<HandedWatch>();
    HandedWatch& watch = *handed;
    start(std::move(handed));
    at(0ms);
    EXPECT_EQ(watch.folders, (std::set<std::string>{scratch.folder(), inbox() + "/"}));
    watch.events = {{WatchEventKind::Overflow, {}, {}}};
    at(1s);
    watch.events = {{WatchEventKind::Overflow, {}, {}}};
    at(1500ms);
    at(3500ms);
    EXPECT_EQ(reasons, std::vector<AutoReason>{AutoReason::FullRun});
    EXPECT_TRUE(fs::exists(sorted() + "/unseen.txt"));
    EXPECT_EQ(notices.size(), 2u) << "the tasks, then the overflow once";
}

TEST_F(AutoRunnerTest, ARecordThatCannotRunIsToldOnceAndAnEditIsTakenIn) {
    writeTask("watch=1\n", 9);
    start();
    at(0ms, 50);
    writeTask("watch=1\n", 7);  // still broken, another way: said again
    at(1s, 200);
    writeTask("watch=1\n", 7);  // read again, the same fault: not said again
    at(2s, 200);
    at(2100ms, 200);
    writeTask("watch=1\n");
    at(3s, 200);
    const std::string cannot = "Task \"Tidy\" cannot run: its action ";
    const std::string none = " is none of 1 (move), 2 (copy), 3 (delete) and 4 (trash)";
    EXPECT_EQ(notices, (std::vector<std::string>{cannot + "9" + none, "No task runs by itself",
                                                 cannot + "7" + none,
                                                 "Tasks that run by themselves: Tidy"}));
    arrive(inbox() + "/late.txt", "l");
    at(4s, 200);
    at(7s, 200);
    EXPECT_EQ(reasons.size(), 1u);
    EXPECT_TRUE(fs::exists(sorted() + "/late.txt"));
}

TEST(WakeSignal, WakesAWaitThatHasNoDescriptorOtherwise) {
    const auto wake = makeWakeSignal();
    EXPECT_FALSE(wake->wait(-1, 0));
    wake->raise();
    wake->raise();
    EXPECT_TRUE(wake->wait(-1, 1000));
    EXPECT_FALSE(wake->wait(-1, 0)) << "stays raised after a wait";
}

}  // namespace
}  // namespace kestrune
