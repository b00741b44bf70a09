#pragma once

#include <cstddef>
#include <string>

#include "run/plan/run_plan.h"

namespace kestrune {

// What carrying out one step came to.
struct StepResult {
    StepStatus status = StepStatus::Failed;
    std::string error;  // the reason when Failed
    // Where the entry is now: another program may have taken the planned target since;
    // the trash's files/ path for a trashed entry.
    std::string target;
    EntryIdentity made;  // the entry the step left at target, as the undo will expect it
};

// Told of each step while a plan is carried out: the window's progress, the command line's
// lines, the journal. stepDone() returning false stops the run
// before its next step. durable() says that what was reported so far is on disk, so an
// observer that keeps records can put its own on disk with it, once per batch.
class ExecutionObserver {
  public:
    virtual ~ExecutionObserver() = default;
    virtual void folderMade(const std::string& /*path*/) {}
    virtual void stepStarted(std::size_t /*index*/) {}
    virtual bool stepDone(std::size_t index, const StepResult& result) = 0;
    virtual void folderRemoved(const std::string& /*path*/) {}
    virtual void durable() {}
};

}  // namespace kestrune
