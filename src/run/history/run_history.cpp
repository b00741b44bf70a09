#include "run/history/run_history.h"

#include <algorithm>
#include <map>

#include "platform/append_file.h"
#include "platform/file_io.h"
#include "platform/folder_listing.h"
#include "run/history/journal_format.h"
#include "store/settings_file.h"
#include "store/task_record.h"

namespace kestrune {

namespace {

// The journals' paths, oldest first: ids sort as the times they are.
std::vector<std::string> journalPaths(const std::string& stateFolder) {
    const std::string folder = historyFolderOf(stateFolder);
    const std::string_view suffix = journal::kSuffix;
    std::vector<std::string> paths;
    for (const FolderEntry& entry : listFolder(folder).entries) {
        const std::string& name = entry.name;
        if (entry.type == EntryType::File && name.size() > suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
            paths.push_back(folder + "/" + name);
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

class States {
  public:
    explicit States(const std::vector<HistoryEntry>& newestFirst) {
        for (const HistoryEntry& entry : newestFirst) {
            byId_[entry.journal.id] = &entry;
            if (!entry.journal.undoes.empty()) undos_[entry.journal.undoes].push_back(&entry);
        }
    }

    RunState of(const HistoryEntry& entry, int depth = 0) const {
        const RunState own = entry.journal.ownState();
        const auto found = undos_.find(entry.journal.id);
        // The chain of undos of undos is as long as the history at most.
        if (found == undos_.end() || depth > static_cast<int>(byId_.size())) return own;
        for (const HistoryEntry* undo : found->second) {
            const JournalContent& u = undo->journal;
            if (u.figures.done == 0) continue;  // an undo that did nothing changes nothing
            const RunState undoState = of(*undo, depth + 1);
            if (undoState == RunState::Undone) continue;  // redone: the run's effect stands
            const bool whole = undoState == RunState::Done && u.figures.failed == 0;
            return whole ? RunState::Undone : RunState::PartlyUndone;
        }
        return own;
    }

  private:
    std::map<std::string, const HistoryEntry*> byId_;
    std::map<std::string, std::vector<const HistoryEntry*>> undos_;  // newest first
};

}  // namespace

std::vector<HistoryEntry> readHistory(const std::string& stateFolder) {
    std::vector<std::string> paths = journalPaths(stateFolder);
    std::reverse(paths.begin(), paths.end());
    std::vector<HistoryEntry> history;
    history.reserve(paths.size());
    for (const std::string& path : paths) {
        HistoryEntry entry;
        entry.path = path;
        const std::string name = path.substr(path.rfind('/') + 1);
        entry.id = name.substr(0, name.size() - journal::kSuffix.size());
        try {
            entry.journal = readJournal(path, JournalDetail::Summary);
        } catch (const JournalError& error) {
            entry.problem = error.what();
        }
        history.push_back(std::move(entry));
    }
    const States states(history);
    for (HistoryEntry& entry : history) {
        entry.state = entry.problem.empty() ? states.of(entry) : RunState::Unreadable;
    }
    return history;
}

std::size_t historySizeOf(const SettingsFile& settings) {
    const std::int32_t size = settings.readInteger(keys::kSettingsSection, keys::kHistorySize, 0);
    return size > 0 ? static_cast<std::size_t>(size) : kDefaultHistorySize;
}

std::string journalPathOf(const std::string& stateFolder, const std::string& id) {
    const std::string path =
        historyFolderOf(stateFolder) + "/" + id + std::string(journal::kSuffix);
    return id.find('/') == std::string::npos && isRegularFile(path) ? path : std::string();
}

void pruneHistory(const std::string& stateFolder, std::size_t keep) {
    const std::vector<std::string> paths = journalPaths(stateFolder);
    if (paths.size() <= keep) return;
    for (std::size_t i = 0; i < paths.size() - keep; ++i) removeAppendFile(paths[i]);
}

}  // namespace kestrune

namespace kestrune {

std::vector<std::size_t> stepsUndone(const std::string& stateFolder, const std::string& id) {
    std::vector<std::size_t> undone;
    for (const HistoryEntry& entry : readHistory(stateFolder)) {
        if (entry.journal.undoes != id || entry.state == RunState::Undone) continue;
        const JournalContent undo = readJournal(entry.path);
        for (const StepOutcome& outcome : undo.outcomes) {
            const std::size_t origin = undo.plan.steps[outcome.index].origin;
            if (outcome.result.status == StepStatus::Done && origin != kNoOrigin) {
                undone.push_back(origin);
            }
        }
    }
    return undone;
}

}  // namespace kestrune
