#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "run/execute/execution_observer.h"
#include "run/history/journal.h"
#include "run/plan/run_plan.h"

namespace kestrune {

struct StepOutcome {
    std::size_t index = 0;  // into the plan's steps
    StepResult result;
};

// What a run's journal holds.
struct JournalContent {
    std::string id;
    std::string started;  // ISO 8601, UTC
    std::string undoes;   // for an undo: the id of the run it undoes
    RunPlan plan;         // task, record, folders, steps and unreadable folders
    // The whole plan reached the disk before the run acted; without it the run did nothing.
    bool planComplete = false;
    std::vector<std::string> foldersMade;
    std::vector<std::string> foldersRemoved;
    std::vector<StepOutcome> outcomes;
    std::size_t done = 0;    // outcomes carried out (counted also when they are not kept)
    std::size_t failed = 0;  // outcomes that failed
    bool ended = false;
    RunState end = RunState::Interrupted;
    std::string endTime;
    // A line that could not be read stopped the reading there; what came before holds.
    bool damaged = false;

    // Done only when the run said so at its end; a journal without an end was cut short.
    RunState ownState() const { return ended ? end : RunState::Interrupted; }
};

// Everything, or only the header and the counts (for a history of many long runs).
enum class JournalDetail { Full, Summary };

// Reads a journal; a last line cut off by a kill or a power cut is left out. Throws
// JournalError when the file cannot be read or is not a journal of this version.
JournalContent readJournal(const std::string& path, JournalDetail detail = JournalDetail::Full);

}  // namespace kestrune
