#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "run/execute/plan_executor.h"
#include "run/history/journal_reader.h"
#include "run/history/journaled_run.h"
#include "run/plan/run_plan.h"
#include "store/errors.h"

namespace kestrune {

// No run to undo: an unknown id, a run undone already or still going, an empty history, or
// a journal that cannot be read. Nothing was touched.
class UndoError : public Error {
  public:
    using Error::Error;
};

// The undo of a run as a plan of its own, carried out by the one executor like any run: for
// each step the run did and no undo took back yet (`alreadyUndone` holds those), newest
// first, the step that takes it back: a moved entry moves back, a copy is removed (Remove
// Copy), a trashed entry is put back; for an undo's own steps the reverse again (Trash,
// Copy). Nothing is planned without proof: a step whose journal record does not say what the
// run left there, names a place the run's plan did not put it, or lies outside the run's
// folders becomes a failed step with the reason, and the executor checks each entry against
// the identity the journal gives. The folders the run removed come back with their shape;
// the folders it made go when empty; every target is exactly where the entry was.
RunPlan planUndo(const JournalContent& run, const std::vector<std::size_t>& alreadyUndone = {});

// The run `undo` picks: the one with that id, or (empty) the newest run, not an undo, with
// something left to undo. Throws UndoError.
std::string runToUndo(const std::string& stateFolder, const std::string& id = {});

struct UndoPlan {
    std::string undoneId;  // the run it undoes
    RunPlan plan;
};

// The undo of the run with that id (see runToUndo), read from its journal, of what is left
// to undo. Throws UndoError.
UndoPlan planUndoOf(const std::string& stateFolder, const std::string& id = {});

// Carries the undo out journaled like any run, so that undoing the undo does the run again.
// Throws JournalError, touching nothing, when the journal cannot be written.
JournaledRun runUndo(const UndoPlan& undo, const std::string& stateFolder,
                     const ExecuteOptions& options, std::size_t historySize);

}  // namespace kestrune
