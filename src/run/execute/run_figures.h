#pragma once

#include <cstddef>
#include <string>

#include "run/plan/run_plan.h"

namespace kestrune {

// The figures of one run, counted once from its plan and its outcomes. The command line's
// summary, the window's notification, tray tip, status bar and report, and the history all
// show these, with these meanings.
struct RunFigures {
    std::size_t done = 0;       // entries moved, copied, deleted, trashed, put back or removed
    std::size_t failed = 0;     // entries that failed, and folders that could not be listed
    std::size_t leftAlone = 0;  // entries left where they are: busy, or the same at the target
    std::size_t merged = 0;     // selected folders entered and handled entry by entry: no entries
    std::size_t planned = 0;    // entries a preview plans to act on

    // Counts one outcome, or one step of a preview's plan.
    void add(StepStatus status);
    RunFigures& operator+=(const RunFigures& other);
    bool operator==(const RunFigures&) const = default;
};

// The figures in the words every view uses: "16 done, 1 failed, 3 left alone", with "2 folders
// merged" when there are; a preview's "16 planned, 1 failed".
std::string figuresText(const RunFigures& figures);

}  // namespace kestrune
