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
    JournalContent journal;  // header and counts only (JournalDetail::Summary)
    RunState state = RunState::Interrupted;
    std::string problem;  // why the journal could not be read; the rest is then empty
};

// Every run journaled in the state folder, newest first. A run reads as undone when the
// newest undo of it that still stands did all its steps, as partly undone when that undo
// failed some or was cut short; an undo undone in turn (a redo) gives the run back its state.
std::vector<HistoryEntry> readHistory(const std::string& stateFolder);

// The journal file of the run with that id, or empty when there is none.
std::string journalPathOf(const std::string& stateFolder, const std::string& id);

// Removes all but the newest `keep` journals.
void pruneHistory(const std::string& stateFolder, std::size_t keep);

}  // namespace kestrune
