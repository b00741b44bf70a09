#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "run/execute/execution_observer.h"
#include "run/plan/run_planner.h"
#include "run/service/run_summary.h"

namespace kestrune {

// Who watches one run: the command line prints its lines, the window shows its progress.
class RunView : public ExecutionObserver {
  public:
    // The whole plan, before its first step.
    virtual void planned(const RunPlan& /*plan*/) {}
    bool stepDone(std::size_t /*index*/, const StepResult& /*result*/) override { return true; }
};

// The runs of a state folder, the same for the window and kestrune-cli: each recovers what
// runs cut short left, takes its task's lock (one run of a task at a time, across
// processes), plans, carries its plan out journaled, keeps the history to its size, and
// counts its figures once. Its callers start runs and show what it tells them.
class RunService {
  public:
    // stateFolder ends with "/".
    explicit RunService(std::string stateFolder);

    // The task's plan from its record as it is now: a preview, or a plan to carry out later.
    RunPlan plan(const std::string& task, const PlanOptions& options = {}) const;

    // A task run by hand, planned now. A stop request (any thread) stops it before its next
    // entry or within a large copy; what was done stays done, journaled and undoable.
    RunSummary runTask(const std::string& task, RunView* view = nullptr,
                       const std::atomic<bool>* stop = nullptr);
    // A task run by itself: entries still being written wait for a later run, and the paths
    // it touched are its own changes.
    RunSummary runAutomatically(const std::string& task, RunView* view = nullptr,
                                const std::atomic<bool>* stop = nullptr);
    // A previewed plan, as shown, when every entry it acts on is still as listed.
    RunSummary runPlan(const RunPlan& plan, RunView* view = nullptr,
                       const std::atomic<bool>* stop = nullptr);
    // The undo of the run with that id; empty: the newest run with something left to undo.
    RunSummary undo(const std::string& id, RunView* view = nullptr,
                    const std::atomic<bool>* stop = nullptr);

    // Brings runs cut short to a known state; one line per thing done.
    std::vector<std::string> recover();

    const std::string& stateFolder() const { return stateFolder_; }

  private:
    RunSummary carryOut(RunKind kind, const RunPlan& plan, RunView* view,
                        const std::atomic<bool>* stop);
    std::size_t historySize() const;

    std::string stateFolder_;
};

// The message of a task run by another process.
std::string runningElsewhereMessage(const std::string& task, const std::string& process);

}  // namespace kestrune
