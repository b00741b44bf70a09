#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "run/execute/execution_observer.h"
#include "run/execute/run_figures.h"
#include "run/history/journal.h"
#include "run/plan/run_plan.h"

namespace kestrune {

struct StepOutcome {
    std::size_t index = 0;  // into the plan's steps
    StepResult result;
};

// A whole copy that waited under a temporary name in the target folder of step `index`.
struct CopyRecord {
    std::size_t index = 0;
    std::string temporary;  // its name
    EntryIdentity identity;
};

// What a run's journal holds.
struct JournalContent {
    int version = 0;
    std::string id;
    std::string started;  // ISO 8601, UTC
    std::string undoes;   // for an undo: the id of the run it undoes
    RunPlan plan;         // task, record, roots, trash, folders, steps, unreadable folders
    // The whole plan reached the disk before the run acted; without it the run did nothing.
    // (A summary read from the two ends of a long journal does not know it: false.)
    bool planComplete = false;
    std::vector<std::string> foldersMade;
    std::vector<std::pair<std::string, FolderShape>> foldersRemoved;
    std::vector<CopyRecord> copies;
    std::vector<StepOutcome> placed;  // copies in place whose source was still to go
    std::vector<StepOutcome> outcomes;
    // Counted also when the outcomes are not kept (JournalDetail::Summary); the plan's
    // unreadable folders are among the failed.
    RunFigures figures;
    bool ended = false;
    RunState end = RunState::Interrupted;
    std::string endTime;
    // The bytes up to the end of the last whole, sound line: a last line torn by a kill or
    // a power cut lies beyond, and is cut off before anything is added. (0 from the two ends.)
    std::size_t soundLength = 0;

    // Done only when the run said so at its end; a journal without an end was cut short.
    RunState ownState() const { return ended ? end : RunState::Interrupted; }
};

// Everything, or only the header and the figures (for a history of many long runs).
enum class JournalDetail { Full, Summary };

// Reads a journal. A damaged line is known by its checksum; damage at the very end (a last
// line torn by a kill or a power cut) is left out, damage anywhere else makes the journal
// unreadable. Throws JournalError, "history/ID.journal cannot be read: REASON", when the
// file cannot be read, is not a journal of a version this program reads, or is damaged.
JournalContent readJournal(const std::string& path, JournalDetail detail = JournalDetail::Full);

// The same from the journal's bytes; `name` stands for the file in the error's message.
JournalContent parseJournal(std::string_view bytes, const std::string& name,
                            JournalDetail detail = JournalDetail::Full);
// The same from the bytes in pieces, as they come from the file, cut anywhere.
JournalContent parseJournal(const std::vector<std::string_view>& pieces, const std::string& name,
                            JournalDetail detail = JournalDetail::Full);

// A summary from a journal's first and last bytes alone, as readJournal reads a long one:
// its run record and its end, whose figures stand for the records between, both checked by
// their checksums. Nullopt when these do not tell it (an older version, no sound end as its
// last line), and the whole must be read.
std::optional<JournalContent> summaryFromEnds(std::string_view head, std::string_view tail);

}  // namespace kestrune
