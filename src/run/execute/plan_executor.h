#pragma once

#include <atomic>
#include <cstddef>
#include <string>

#include "run/execute/execution_observer.h"
#include "run/plan/run_plan.h"

namespace kestrune {

class FileActions;
class NameSource;

struct ExecuteOptions {
    ExecutionObserver* observer = nullptr;
    FileActions* files = nullptr;  // the system's file actions when null
    NameSource* names = nullptr;   // for a target taken since planning; the program's when null
    // Set by another thread to stop the run: looked at before every step and while a large
    // file is copied. What was done stays done.
    const std::atomic<bool>* stop = nullptr;
    // The run's id, which its temporary copies carry (the journal's id for a journaled run).
    std::string runId{};
};

struct RunTotals {
    std::size_t succeeded = 0;
    // Failed steps, and the folders below the source that could not be listed.
    std::size_t failed = 0;
    bool stopped = false;  // asked to stop, or its journal could not follow, before the end
    // Non-empty when the run could not start (the plan's error, or a target folder that
    // could not be made); nothing was touched then.
    std::string error;
};

// Carries out the plan step by step, every step through open folders below the plan's roots,
// checked against the identity the step expects: a run's, an undo's and a recovery's plans
// alike. One failing step never stops the run.
RunTotals executePlan(const RunPlan& plan, const ExecuteOptions& options = {});

}  // namespace kestrune
