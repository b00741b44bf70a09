#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kestrune {

// When a task runs by itself.
struct AutoRule {
    std::string task;
    bool watch = false;             // run when entries appear or are written in its source
    std::int32_t everyMinutes = 0;  // run at this interval; 0: never
};

struct AutoTiming {
    std::chrono::milliseconds quiet{3000};        // the calm after the last change before a run
    std::chrono::milliseconds longest{60000};     // changes that never calm down wait no longer
    std::chrono::milliseconds afterStart{10000};  // an overdue interval run, after start
};

enum class AutoReason {
    Changes,   // entries appeared or were written
    FullRun,   // changes may have been missed: the queue overflowed or a folder is unwatched
    Interval,  // its interval came round
};

struct DueRun {
    std::string task;
    AutoReason reason = AutoReason::Changes;
};

// Something the user is to hear about once, not each time it happens again.
struct AutoNotice {
    std::string task;  // empty when it concerns every task
    std::string text;
};

// Decides when each task runs by itself. Knows nothing of clocks or files: the caller tells
// it the time with each call, what changed, and when runs start and end, and asks what is due.
// A task takes part once it has a rule; runs of one task never overlap.
class AutoScheduler {
  public:
    using Time = std::chrono::system_clock::time_point;

    explicit AutoScheduler(AutoTiming timing = {}) : timing_(timing) {}

    // Adds or replaces a task's rule. lastRun: when it last ran, if ever; an interval that has
    // passed since (or a task that never ran) runs shortly after now, and so does a full run
    // of a task that starts to watch.
    void setRule(const AutoRule& rule, std::optional<Time> lastRun, Time now);
    void removeRule(const std::string& task);

    // Something appeared or was written at path (full path; a trailing "/" does not count) in
    // a folder the task watches.
    // What the task's own run did there is not a change that makes it run again.
    void changed(const std::string& task, const std::string& path, Time now);
    // The change queue overflowed: every watching task runs once in full.
    void overflowed(Time now);
    // A folder of the task cannot be watched: the task runs once in full.
    void cannotWatch(const std::string& task, const std::string& folder, const std::string& reason,
                     Time now);

    // The runs due at now, each marked as running until runFinished().
    std::vector<DueRun> takeDue(Time now);
    // The task's run ended. ownChanges: the full paths the run created, moved or removed,
    // whose events are not to count. problem: why the run could not start, or empty. again:
    // it did not do its work (stopped, dropped, or run elsewhere): it is due again later.
    void runFinished(const std::string& task, Time now, const std::vector<std::string>& ownChanges,
                     const std::string& problem = {}, bool again = false);

    // When takeDue() next has something, if ever; the caller sleeps until then at most.
    std::optional<Time> nextDue() const;
    // When each task that runs at intervals is next due by its interval, as it stands now.
    std::map<std::string, Time> intervalRuns() const;
    std::vector<AutoNotice> takeNotices();

  private:
    struct TaskState {
        AutoRule rule;
        bool running = false;
        std::optional<Time> changesDue;   // watch: gathered changes run then
        std::optional<Time> firstChange;  // the first of the gathered changes
        bool fullRun = false;
        std::optional<Time> intervalDue;
        std::set<std::string> duringRun;   // changes seen while it ran, judged at its end
        std::set<std::string> ownChanges;  // of the last run, ignored until ownUntil
        Time ownUntil{};
        std::string reported;  // the problem last reported, so it is not reported again
        std::set<std::string> unwatchedReported;
    };

    void gather(TaskState& state, Time now);
    std::optional<Time> dueOf(const TaskState& state) const;

    AutoTiming timing_;
    std::map<std::string, TaskState> tasks_;
    bool overflowReported_ = false;
    std::vector<AutoNotice> notices_;
};

}  // namespace kestrune
