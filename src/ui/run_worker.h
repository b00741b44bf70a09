#pragma once

#include <QObject>
#include <QThread>
#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "run/history/journaled_run.h"
#include "run/plan/run_plan.h"
#include "run/plan/task_record.h"

namespace kestrune::ui {

// What the window asks of the worker thread.
struct RunJob {
    enum class Kind {
        Task,     // plan the record and carry the plan out
        Preview,  // plan only, with identities, so that the plan can be run as shown
        Plan,     // carry out a previewed plan, if it still holds
        Undo,     // undo the run with undoId (empty: the newest not undone)
    };
    Kind kind = Kind::Task;
    std::string task;
    std::optional<TaskRecord> record;  // Task: read on the window's thread; none: no record
    std::shared_ptr<const RunPlan> plan;
    std::string undoId;
    bool automatic = false;  // started by the scheduler, not by a click
};

// What a job came to, handed back to the window's thread.
struct RunOutcome {
    RunJob job;
    std::shared_ptr<const RunPlan> plan;  // Preview: the plan
    JournaledRun run;
    Action action = Action::None;
    std::string error;     // the job could not run; nothing was touched
    bool dropped = false;  // stopped by Cancel before it began
};

// The progress of the job under way, written by the worker, read by the window.
struct RunProgress {
    std::atomic<std::size_t> done{0};
    std::atomic<std::size_t> total{0};
    std::atomic<bool> cancel{false};

    void begin(const std::string& task, std::size_t planned);
    void setCurrent(const std::string& path);
    std::string task() const;
    std::string current() const;

  private:
    mutable std::mutex mutex_;
    std::string task_;
    std::string current_;
};

// One worker thread that plans and carries out the window's runs one after another, in the
// order they were asked for, so that the window keeps answering during a long run.
class RunWorker : public QObject {
    Q_OBJECT

  public:
    RunWorker(std::string stateFolder, QObject* parent = nullptr);
    // Stops a run under way between two entries and waits for the thread.
    ~RunWorker() override;

    void submit(RunJob job, std::size_t historySize);
    // Jobs asked for and not yet handed back, the one under way included.
    std::size_t pending() const { return pending_; }
    bool busy() const { return pending_ > 0; }
    // Stops the job under way between two entries and drops the ones waiting.
    void cancelAll();
    RunProgress& progress() { return progress_; }

  signals:
    void finished(const kestrune::ui::RunOutcome& outcome);

  private:
    RunOutcome carryOut(const RunJob& job, std::size_t historySize);

    std::string stateFolder_;
    QThread thread_;
    QObject* inThread_;
    RunProgress progress_;
    std::size_t pending_ = 0;
    std::atomic<unsigned> generation_{0};  // jobs of an older generation are dropped
};

}  // namespace kestrune::ui
