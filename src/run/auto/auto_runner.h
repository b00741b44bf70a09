#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/folder_watch.h"
#include "platform/wake_signal.h"
#include "run/auto/auto_scheduler.h"
#include "run/auto/watch_set.h"
#include "store/task_record.h"

namespace kestrune {

struct AutoRunnerOptions {
    // The tasks that run by themselves; empty: every node of the tree whose record says so.
    std::vector<std::string> tasks;
    AutoTiming timing;
    std::function<AutoScheduler::Time()> clock;  // the system clock when empty
    std::unique_ptr<FolderWatch> watch;          // the system's folder watch when null
    // Told on the loop's thread of what the user is to hear once.
    std::function<void(const AutoNotice&)> notice;
    // Told on the loop's thread when nextIntervalRun() of some task changed.
    std::function<void()> scheduleChanged;
};

// Runs tasks by themselves: watches their sources, waits until a run is due, starts it and
// hears when it ended. The task rules come from the state folder's files and are read again
// when either file changes. Everything but stop() and runEnded() happens on the thread that
// calls run() (or turn()).
class AutoRunner {
  public:
    using Time = AutoScheduler::Time;
    // Starts a due run. The run may go on elsewhere; runEnded() says when it is over.
    using StartRun = std::function<void(const DueRun& run)>;

    // stateFolder ends with "/". Throws std::system_error when no folder watch can be made.
    AutoRunner(std::string stateFolder, StartRun start, AutoRunnerOptions options = {});
    ~AutoRunner();

    // Turns until stop().
    void run();
    // One turn: takes in the runs that ended, starts those due, then waits up to maxWaitMs
    // (-1: until the next is due) for changes, a run's end or stop(), and takes them in.
    void turn(int maxWaitMs);
    // Any thread, and a signal handler: run() returns after the turn it is in.
    void stop() noexcept;
    bool stopped() const { return stopping_.load(); }
    // Any thread: the task's run is over (see AutoScheduler::runFinished).
    void runEnded(const std::string& task, std::vector<std::string> ownChanges, std::string problem,
                  bool again = false);

    // Any thread: when the task next runs by its interval, as the loop last planned it;
    // nullopt for a task that does not take part or runs on changes only.
    std::optional<Time> nextIntervalRun(const std::string& task) const;

    // The folders watched now, the state folder included.
    std::size_t watchedFolders() const { return watch_->size(); }

  private:
    struct Ended {
        std::string task;
        std::vector<std::string> ownChanges;
        std::string problem;
        bool again = false;
    };

    Time now() const;
    void readRules();
    void setTask(const std::string& task, const TaskRecord& record, std::optional<Time> lastRun);
    void dropTask(const std::string& task);
    bool watchSource(const std::string& task, const TaskRecord& record);
    void watchReturnedSources();
    void apply(const WatchChanges& changes);
    void take(const std::vector<WatchEvent>& events);
    void takeEnded();
    void tell(const std::string& task, const std::string& text);
    void tellNotices();
    void tellTasks();
    void publishSchedule();
    int waitMs(int maxWaitMs) const;

    std::string stateFolder_;
    StartRun start_;
    AutoRunnerOptions options_;
    std::unique_ptr<FolderWatch> watch_;
    std::unique_ptr<WakeSignal> wake_;
    AutoScheduler scheduler_;
    WatchSet watchSet_;
    std::map<std::string, TaskRecord> rules_;  // the tasks taking part, as last read
    std::set<std::string> told_;               // "task\ttext" said once already
    std::string listed_;                       // the tasks taking part as last told
    Time nextSourceLook_{};
    bool rulesChanged_ = true;

    std::atomic<bool> stopping_{false};
    std::mutex endedLock_;
    std::vector<Ended> ended_;
    mutable std::mutex scheduleLock_;
    std::map<std::string, Time> intervalRuns_;  // as last published
};

}  // namespace kestrune
