#pragma once

#include <cstddef>
#include <string>

#include "run/execute/plan_executor.h"
#include "run/history/journal_reader.h"
#include "run/history/journaled_run.h"
#include "run/plan/run_plan.h"
#include "store/errors.h"

namespace kestrune {

// No run to undo: an unknown id, a run undone already, an empty history, or a journal that
// cannot be read. Nothing was touched.
class UndoError : public Error {
  public:
    using Error::Error;
};

// The undo of a run as a plan of its own, the run's journal replayed backward: for each
// step the run did, newest first, a moved entry goes back to its source (Move), a copy is
// removed (Delete, its target naming what it was copied from), a trashed entry is restored
// (Trash from the trash's files/ path to the original path; Trash with no target puts an
// entry restored before back into the trash), a copy removed by an undo is made again
// (Copy). An entry the run deleted for good stays a failed step. The folders the run
// removed come first (foldersToMake); the folders it made are Merged steps at the end,
// removed when empty. Each step's identity is the entry as the run left it.
RunPlan planUndo(const JournalContent& run);

// Carries out an undo plan, as executePlan carries out a run's: each step first checks that
// what it touches is what the run left (identity, size, times) and that the path it goes to
// is free; otherwise the entry is left as it is and the step fails with the reason. Nothing
// is ever overwritten or removed that the run did not make.
RunTotals carryOutUndo(const RunPlan& undo, const ExecuteOptions& options = {});

// The run `undo` picks: the one with that id, or (empty) the newest run, not an undo, that
// is neither undone nor partly undone. Throws UndoError.
std::string runToUndo(const std::string& stateFolder, const std::string& id = {});

struct UndoPlan {
    std::string undoneId;  // the run it undoes
    RunPlan plan;
};

// The undo of the run with that id (see runToUndo), read from its journal. Throws UndoError.
UndoPlan planUndoOf(const std::string& stateFolder, const std::string& id = {});

// Carries the undo out journaled like any run, so that undoing the undo does the run again.
// Throws JournalError, touching nothing, when the journal cannot be written.
JournaledRun runUndo(const UndoPlan& undo, const std::string& stateFolder,
                     const ExecuteOptions& options, std::size_t historySize);

}  // namespace kestrune
