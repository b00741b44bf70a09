#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/entry_identity.h"
#include "run/plan/task_record.h"

namespace kestrune {

// The action codes of a task record (`actions`), equal to the editor's action list index.
enum class Action { None = 0, Move = 1, Copy = 2, Delete = 3, Trash = 4 };

// The state of one step. The words the command line, the report and the journal show are
// given by statusWord(), in one place.
enum class StepStatus {
    Planned,  // to be done (a preview's line)
    Merged,   // a selected folder the walk enters: its entries are handled one by one
    Same,     // the plain target already holds the same content (skipsame): left alone
    Busy,     // open for writing or an unfinished download: left for a later run
    Done,     // carried out
    Failed,   // planning or the action failed; PlanStep::error says why
};
const char* statusWord(StepStatus status);

// One entry of the run, in the order the run handles them.
struct PlanStep {
    Action action = Action::None;
    std::string source;      // full path
    EntryIdentity identity;  // the source as listed
    std::string target;      // full target path; the mirrored folder for Merged; empty for
                             // delete and trash
    StepStatus status = StepStatus::Planned;
    std::string error;  // the reason when Failed
    // The entry's random parts (placement.h's PlacedName): should the target name be taken
    // by the time the entry is acted on, the executor draws the part after the plan's.
    std::uint32_t nameDraws = 0;  // 0: the plain name was free, and no seed was needed
    std::uint64_t nameSeed = 0;
};

// A folder below the source that could not be listed: a failure of the run, never silent.
struct FolderProblem {
    std::string folder;
    std::string reason;
};

// A run planned whole before anything is touched. The preview prints it, the executor
// carries it out, the journal records it.
struct RunPlan {
    std::string task;
    TaskRecord record;
    std::string error;                       // non-empty: the task cannot run, nothing planned
    std::vector<std::string> foldersToMake;  // parents before children
    std::vector<PlanStep> steps;
    std::vector<FolderProblem> unreadable;
};

}  // namespace kestrune
