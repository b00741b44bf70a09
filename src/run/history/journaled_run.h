#pragma once

#include <cstddef>
#include <string>

#include "run/execute/plan_executor.h"
#include "run/execute/run_figures.h"
#include "run/plan/run_plan.h"

namespace kestrune {

struct JournaledRun {
    RunTotals totals;
    RunFigures figures;        // as the journal counted the outcomes, unreadable folders failed
    std::string journalError;  // why the journal stopped following (the run stopped there)
    std::string journalId;     // the run's id in the history
    std::string journalPath;
};

// Carries out a plan that changes the disk, with its journal: the plan is on disk in the
// state folder's history before the first step, each step's outcome follows it in batches,
// and the history then keeps the newest `historySize` runs. options.observer is told of
// every step as well. Throws JournalError, touching nothing, when the journal cannot be
// written; `undoes` names the run that this run undoes. The run's temporary copies carry
// its id.
JournaledRun runJournaled(const RunPlan& plan, const std::string& stateFolder,
                          const ExecuteOptions& options, std::size_t historySize,
                          const std::string& undoes = {});

}  // namespace kestrune
