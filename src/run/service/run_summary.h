#pragma once

#include <string>
#include <vector>

#include "run/execute/run_figures.h"

namespace kestrune {

struct JournalContent;

enum class RunKind {
    Task,       // a task run by hand
    Plan,       // a previewed plan carried out as shown
    Undo,       // an undo of a run
    Automatic,  // a task that ran by itself
};

// What one run came to, as every view tells it: the command line's summary, the window's
// notification, tray tip, status bar and report, and the history.
struct RunSummary {
    RunKind kind = RunKind::Task;
    std::string task;
    RunFigures figures;
    bool stopped = false;  // asked to stop, or its journal could not follow, before the end
    // Why it did not run; nothing was touched then.
    std::string error;
    // Another process runs the task: a run by hand is refused, an automatic run waits.
    bool runningElsewhere = false;
    // Why its journal stopped following it; what it did up to there stays undoable.
    std::string journalError;
    std::string journalId;
    std::string journalPath;
    std::vector<std::string> ownChanges;  // full paths it made, moved or removed
    std::vector<std::string> recovery;    // what the recovery before it found
};

// "Papers: 16 done, 1 failed", "Undo Papers: 3 done, 0 failed, stopped", "Papers: not run".
std::string summaryText(const RunSummary& summary);

// The summary of a run of an earlier session, from its journal.
RunSummary summaryOf(const JournalContent& run);

}  // namespace kestrune
