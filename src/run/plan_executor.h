#pragma once

#include <cstddef>
#include <string>

#include "run/run_plan.h"

namespace kestrune {

class FileActions;
class NameSource;

// How one step ended.
struct StepResult {
    StepStatus status = StepStatus::Failed;
    std::string error;   // the reason when Failed
    std::string target;  // the final target: another program may have taken the planned one
    EntryIdentity made;  // what now stands at target after a move or copy
};

// Watches a run as it goes: the window's progress, the command line's lines, the journal.
class ExecutionObserver {
  public:
    virtual ~ExecutionObserver() = default;
    virtual void folderMade(const std::string& /*path*/) {}  // a folder the run created
    virtual void stepStarted(std::size_t /*index*/) {}        // progress: the current entry
    // Each step as it ends, in the plan's order; false stops the run before the next step.
    virtual bool stepDone(std::size_t index, const StepResult& result) = 0;
    virtual void folderRemoved(const std::string& /*path*/) {}  // an emptied merged source
    virtual void durable() {}  // everything reported so far is flushed to disk
};

struct ExecuteOptions {
    ExecutionObserver* observer = nullptr;
    FileActions* files = nullptr;  // the system's file actions when null
    NameSource* names = nullptr;   // for a target taken since planning; the program's when null
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
