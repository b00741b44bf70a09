#include <gtest/gtest.h>

#include "run/auto/auto_scheduler.h"

namespace kestrune {
namespace {

using namespace std::chrono_literals;
using Time = AutoScheduler::Time;

const Time kStart = Time{} + 490000h;

// What is due at each moment, as "task:reason" words.
class Scheduler : public ::testing::Test {
  protected:
    std::vector<std::string> due(Time at) {
        std::vector<std::string> words;
        for (const auto& run : scheduler.takeDue(at)) {
            const char* reason = run.reason == AutoReason::Changes   ? "changes"
                                 : run.reason == AutoReason::FullRun ? "full"
                                                                     : "interval";
            words.push_back(run.task + ":" + reason);
        }
        return words;
    }
    void finish(const std::string& task, Time at, std::vector<std::string> own = {},
                const std::string& problem = {}) {
        scheduler.runFinished(task, at, own, problem);
    }
    std::size_t notices() { return scheduler.takeNotices().size(); }
    // Sets the task to watch a while before kStart and lets its first, full run take in what
    // came while nobody watched.
    void watching(const std::string& task) {
        const Time before = kStart - 10min;
        scheduler.setRule({task, true, 0}, std::nullopt, before);
        EXPECT_EQ(scheduler.nextDue(), before + 10s);
        EXPECT_EQ(due(before + 10s), Words{task + ":full"});
        finish(task, before + 11s);
    }

    AutoScheduler scheduler{AutoTiming{3s, 60s, 10s}};
    using Words = std::vector<std::string>;
};

TEST_F(Scheduler, ChangesRunOnceAfterTheyCalmDownButNeverWaitLongerThanTheLongest) {
    watching("w");
    scheduler.setRule({"still", false, 0}, std::nullopt, kStart);
    EXPECT_FALSE(scheduler.nextDue());
    scheduler.changed("still", "/in/a", kStart);
    scheduler.changed("w", "/in/a", kStart);
    scheduler.changed("w", "/in/b", kStart + 2s);
    EXPECT_EQ(scheduler.nextDue(), kStart + 5s);
    EXPECT_EQ(due(kStart + 4s), Words{});
    EXPECT_EQ(due(kStart + 5s), Words{"w:changes"});
    EXPECT_FALSE(scheduler.nextDue());  // running
    finish("w", kStart + 6s);
    EXPECT_EQ(due(kStart + 20s), Words{});

    for (auto at = kStart + 100s; at < kStart + 170s; at += 2s) scheduler.changed("w", "/in/c", at);
    EXPECT_EQ(scheduler.nextDue(), kStart + 160s);
}

TEST_F(Scheduler, OwnChangesDoNotRunTheTaskAgainButOthersDuringItsRunDo) {
    watching("w");
    scheduler.changed("w", "/in/a", kStart);
    ASSERT_EQ(due(kStart + 3s), Words{"w:changes"});
    scheduler.changed("w", "/in/made", kStart + 4s);
    finish("w", kStart + 5s, {"/in/made", "/in/target/"});
    scheduler.changed("w", "/in/target", kStart + 6s);
    EXPECT_FALSE(scheduler.nextDue());

    ASSERT_EQ(due(kStart + 6s), Words{});
    scheduler.changed("w", "/in/a", kStart + 7s);
    ASSERT_EQ(due(kStart + 10s), Words{"w:changes"});
    scheduler.changed("w", "/in/new", kStart + 11s);
    finish("w", kStart + 12s, {"/in/made"});
    EXPECT_EQ(due(kStart + 15s), Words{"w:changes"});
}

// A run stopped, or left to another process that runs the task, does not forget why it was due.
TEST_F(Scheduler, ARunThatDidNotDoItsWorkIsDueAgainLater) {
    watching("w");
    scheduler.changed("w", "/in/a", kStart);
    ASSERT_EQ(due(kStart + 3s), Words{"w:changes"});
    scheduler.runFinished("w", kStart + 4s, {}, {}, true);
    EXPECT_EQ(scheduler.nextDue(), kStart + 64s);
    EXPECT_EQ(due(kStart + 64s), Words{"w:full"});
}

TEST_F(Scheduler, IntervalRunsOnTimeAndOnceSoonAfterStartWhenOverdue) {
    scheduler.setRule({"fresh", false, 60}, kStart - 20min, kStart);
    scheduler.setRule({"overdue", false, 60}, kStart - 3h, kStart);
    scheduler.setRule({"never", false, 60}, std::nullopt, kStart);
    scheduler.setRule({"future", false, 60}, kStart + 5h, kStart);  // the clock was set back
    EXPECT_EQ(due(kStart + 10s), (Words{"future:interval", "never:interval", "overdue:interval"}));
    for (const char* task : {"future", "never", "overdue"}) finish(task, kStart + 11s);
    EXPECT_EQ(due(kStart + 40min - 1s), Words{});
    EXPECT_EQ(due(kStart + 40min), Words{"fresh:interval"});
    finish("fresh", kStart + 41min);
    EXPECT_EQ(due(kStart + 60min + 10s),
              (Words{"future:interval", "never:interval", "overdue:interval"}));
    for (const char* task : {"future", "never", "overdue"}) finish(task, kStart + 61min);
    EXPECT_EQ(due(kStart + 100min), Words{"fresh:interval"});
    finish("fresh", kStart + 100min);
    // A machine that slept through several runs makes one, then keeps the interval from then.
    EXPECT_EQ(due(kStart + 400min),
              (Words{"fresh:interval", "future:interval", "never:interval", "overdue:interval"}));
    EXPECT_EQ(scheduler.nextDue(), std::nullopt);
    finish("fresh", kStart + 401min);
    EXPECT_EQ(scheduler.nextDue(), kStart + 460min);
}

TEST_F(Scheduler, MissedChangesGiveOneFullRunAndAreReportedOnce) {
    scheduler.setRule({"a", true, 0}, std::nullopt, kStart);
    scheduler.setRule({"b", true, 0}, std::nullopt, kStart);
    scheduler.setRule({"timed", false, 5}, kStart, kStart);
    scheduler.overflowed(kStart);
    scheduler.overflowed(kStart + 1s);
    EXPECT_EQ(due(kStart + 4s), (Words{"a:full", "b:full"}));
    EXPECT_EQ(notices(), 1u);
    finish("a", kStart + 5s);
    finish("b", kStart + 5s);
    scheduler.overflowed(kStart + 6s);
    EXPECT_EQ(notices(), 0u);

    scheduler.cannotWatch("a", "/in/x/", "limit reached", kStart + 10s);
    scheduler.cannotWatch("a", "/in/x/", "limit reached", kStart + 11s);
    scheduler.cannotWatch("a", "/in/y/", "limit reached", kStart + 11s);
    EXPECT_EQ(notices(), 2u);
    EXPECT_EQ(due(kStart + 14s), (Words{"a:full", "b:full"}));
}

TEST_F(Scheduler, RecordThatCannotRunIsReportedOnceUntilItRunsOrFailsOtherwise) {
    scheduler.setRule({"w", true, 0}, std::nullopt, kStart);
    const auto failOnce = [&](Time at, const std::string& problem) {
        scheduler.changed("w", "/in/a", at);
        EXPECT_EQ(due(at + 3s).size(), 1u);
        finish("w", at + 3s, {}, problem);
        return notices();
    };
    EXPECT_EQ(failOnce(kStart, "The source folder does not exist"), 1u);
    EXPECT_EQ(failOnce(kStart + 10s, "The source folder does not exist"), 0u);
    EXPECT_EQ(failOnce(kStart + 20s, "The target folder is not set"), 1u);
    EXPECT_EQ(failOnce(kStart + 30s, ""), 0u);
    EXPECT_EQ(failOnce(kStart + 40s, "The target folder is not set"), 1u);
}

}  // namespace
}  // namespace kestrune
