#pragma once

#include <QObject>
#include <QThread>
#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "run/plan/run_plan.h"
#include "run/service/run_service.h"

namespace kestrune::ui {

// What the window asks of the worker thread.
struct RunJob {
    enum class Kind {
        Task,       // a task run by hand
        Preview,    // plan only, with identities, so that the plan can be run as shown
        Plan,       // carry out a previewed plan, if it still holds
        Undo,       // undo the run with undoId (empty: the newest with something left)
        Automatic,  // a task that runs by itself, started by the automatic runs
    };
    Kind kind = Kind::Task;
    std::string task;
    std::shared_ptr<const RunPlan> plan;
    std::string undoId;
};

// An entry a preview's walk listed and did not select, and the first rule it failed
// ("extension", "smaller than 10M").
struct PassedOverEntry {
    std::string path;
    std::string reason;
};

// What a job came to, handed back to the window's thread.
struct RunOutcome {
    // A preview keeps this many passed-over entries at most and counts the rest.
    static constexpr std::size_t kMostPassedOver = 100'000;

    RunJob job;
    std::shared_ptr<const RunPlan> plan;      // Preview: the plan
    std::vector<PassedOverEntry> passedOver;  // Preview: in the order of the walk
    std::size_t passedOverTotal = 0;
    RunSummary summary;    // the run's, as every view tells it
    bool dropped = false;  // stopped by Cancel before it began
};

// The progress of the job under way, written by the worker, read by the window.
struct RunProgress {
    std::atomic<std::size_t> done{0};
    std::atomic<std::size_t> total{0};

    void begin(const std::string& task, std::size_t planned);
    void setCurrent(const std::string& path);
    std::string task() const;
    std::string current() const;

  private:
    mutable std::mutex mutex_;
    std::string task_;
    std::string current_;
};

// One worker thread that carries out the window's runs through the run service, one after
// another in the order they were asked for, so that the window keeps answering during a
// long run.
class RunWorker : public QObject {
    Q_OBJECT

  public:
    RunWorker(std::string stateFolder, QObject* parent = nullptr);
    // Stops a run under way and waits for the thread.
    ~RunWorker() override;

    void submit(RunJob job);
    // Jobs asked for and not yet handed back, the one under way included.
    std::size_t pending() const { return pending_; }
    bool busy() const { return pending_ > 0; }
    // Stops the job under way before its next entry and drops the ones waiting. No request is
    // lost: each job has its own, set here however far the worker has got with it.
    void cancelAll();
    RunProgress& progress() { return progress_; }

  signals:
    void finished(const kestrune::ui::RunOutcome& outcome);

  private:
    using Stop = std::shared_ptr<std::atomic<bool>>;
    RunOutcome carryOut(const RunJob& job, const std::atomic<bool>& stop);
    void forget(const Stop& stop);

    RunService service_;
    QThread thread_;
    QObject* inThread_;
    RunProgress progress_;
    std::size_t pending_ = 0;
    std::mutex stopsLock_;
    std::vector<Stop> stops_;  // of the jobs asked for and not yet ended
};

}  // namespace kestrune::ui
