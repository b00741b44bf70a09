#pragma once

#include <cstddef>
#include <string>

#include "run/execute/execution_observer.h"
#include "run/plan/run_plan.h"

namespace kestrune {

class FileActions;
class NameSource;
class Trash;

struct ExecuteOptions {
    ExecutionObserver* observer = nullptr;
    FileActions* files = nullptr;  // the system's file actions when null
    NameSource* names = nullptr;   // for a target taken since planning; the program's when null
    Trash* trash = nullptr;        // the desktop's trash (homeTrashFolder()) when null
};

struct RunTotals {
    std::size_t succeeded = 0;
    // Failed steps, and the folders below the source that could not be listed.
    std::size_t failed = 0;
    bool stopped = false;  // the observer asked to stop before every step was done
    // Non-empty when the run could not start (the plan's error, or a target folder that
    // could not be made); nothing was touched then.
    std::string error;
};

// Carries out the plan step by step. One failing step never stops the run.
RunTotals executePlan(const RunPlan& plan, const ExecuteOptions& options = {});

}  // namespace kestrune
