#pragma once

#include <string>
#include <vector>

#include "run/execute/execution_observer.h"
#include "run/execute/plan_executor.h"
#include "run/plan/run_plan.h"

namespace kestrune {

// Who watches one automatic run: the command line prints its lines, the window reports it.
class AutoRunView {
  public:
    virtual ~AutoRunView() = default;
    // The whole plan, before its first step. Returns who is told of each step, or null.
    virtual ExecutionObserver* planned(const RunPlan& /*plan*/) { return nullptr; }
    // The run is over; totals.error says why it could not start (then planned() was not
    // called when there was no plan).
    virtual void ended(const RunPlan& /*plan*/, const RunTotals& /*totals*/) {}
};

// What the scheduler is to hear of a run that ended.
struct AutoRunOutcome {
    // The full paths the run created, moved or removed: its own changes, not the user's.
    std::vector<std::string> ownChanges;
    // Why it could not run, or that some entries failed; empty when all went well.
    std::string problem;
    std::string journalId;  // empty when nothing was journaled
};

// Plans the task as an automatic run starting now and carries it out with its journal,
// like any run that changes the disk. Never throws for the task's own faults: they are the
// outcome's problem.
AutoRunOutcome runAutomatically(const std::string& stateFolder, const std::string& task,
                                AutoRunView* view = nullptr);

}  // namespace kestrune
