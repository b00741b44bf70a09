#pragma once

#include <cstddef>
#include <string>

#include "platform/folder_shape.h"
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
// lines, the journal. stepDone() returning false stops the run before its next step.
//
// durable() says that what was reported so far is on disk, so an observer that keeps
// records puts its own on disk with it. The executor relies on that order: a copy's
// temporary name is reported (copied) and made durable before the copy takes its name, and
// a copy that replaces its source on another file system is reported (placed) and made
// durable before the source goes. Recovery reads those records to tell whose copy is whose.
class ExecutionObserver {
  public:
    virtual ~ExecutionObserver() = default;
    virtual void folderMade(const std::string& /*path*/) {}
    virtual void stepStarted(std::size_t /*index*/) {}
    // A whole copy of the step's entry waits under that temporary name in its target folder.
    virtual void copied(std::size_t /*index*/, const std::string& /*temporary*/,
                        const EntryIdentity& /*identity*/) {}
    // The copy is in place at result.target (flushed); its source is to go next.
    virtual void placed(std::size_t /*index*/, const StepResult& /*result*/) {}
    virtual bool stepDone(std::size_t index, const StepResult& result) = 0;
    virtual void folderRemoved(const std::string& /*path*/, const FolderShape& /*shape*/) {}
    // False when the observer's own records could not be put on disk: the run then stops
    // before its next change, as it cannot be followed any further.
    virtual bool durable() { return true; }
};

}  // namespace kestrune
