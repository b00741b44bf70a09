#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "run/history/journal_reader.h"

namespace kestrune {

class SettingsFile;

// How many runs' journals are kept when the setting `historysize` is absent.
inline constexpr std::size_t kDefaultHistorySize = 100;

// The setting `historysize` of section `Settings`; absent or not a positive number gives
// kDefaultHistorySize.
std::size_t historySizeOf(const SettingsFile& settings);

// One run of the history with the state that the undos after it give it.
struct HistoryEntry {
    std::string path;
    std::string id;          // from the file's name: also for a journal that cannot be read
    JournalContent journal;  // header and figures only (JournalDetail::Summary)
    RunState state = RunState::Interrupted;
    // Unreadable: "history/ID.journal cannot be read: REASON"; the journal is then empty.
    std::string problem;
};

// Every run journaled in the state folder, newest first. A run reads as undone when the
// newest undo of it that still stands did all its steps, as partly undone when that undo
// failed some or was cut short; an undo undone in turn (a redo) gives the run back its state.
// A journal without an end whose process still lives reads as running; one that cannot be
// read whole as unreadable.
std::vector<HistoryEntry> readHistory(const std::string& stateFolder);

// The steps of the run `id` that the undos of it still standing took back (their outcomes'
// origins), so that a second undo takes back only what is left.
std::vector<std::size_t> stepsUndone(const std::string& stateFolder, const std::string& id);

// The journal file of the run with that id, or empty when there is none.
std::string journalPathOf(const std::string& stateFolder, const std::string& id);

// Removes all but the newest `keep` journals; a journal whose run still goes is never removed.
void pruneHistory(const std::string& stateFolder, std::size_t keep);

}  // namespace kestrune
