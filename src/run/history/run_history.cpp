#include "run/history/run_history.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <set>

#include "platform/append_file.h"
#include "platform/file_io.h"
#include "platform/file_lock.h"
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

std::string idOf(const std::string& path) {
    const std::size_t name = path.find_last_of('/') + 1;
    return path.substr(name, path.size() - name - journal::kSuffix.size());
}

// Whether the process that writes the journal still lives: it holds the journal's lock.
bool isLive(const std::string& path) {
    FileLock lock;
    return lock.tryLock(path) == EWOULDBLOCK;
}

class States {
  public:
    explicit States(const std::vector<HistoryEntry>& newestFirst) {
        for (const HistoryEntry& entry : newestFirst) {
            const JournalContent& run = entry.journal;
            if (!entry.problem.empty() || run.id.empty()) continue;
            // An undo comes after what it undoes, so no chain of undos ever turns back.
            if (!run.undoes.empty() && run.undoes < run.id) undos_[run.undoes].push_back(&entry);
        }
    }

    // The undos of the run with that id, newest first.
    const std::vector<const HistoryEntry*>& undosOf(const std::string& id) const {
        static const std::vector<const HistoryEntry*> none;
        const auto found = undos_.find(id);
        return found == undos_.end() ? none : found->second;
    }

    // The state the undos after it give the entry; entry.state is its journal's own.
    RunState of(const HistoryEntry& entry) const {
        const RunState own = entry.state;
        if (!entry.problem.empty()) return own;
        for (const HistoryEntry* undo : undosOf(entry.journal.id)) {
            const JournalContent& u = undo->journal;
            if (u.figures.done == 0) continue;  // an undo that did nothing changes nothing
            const RunState undoState = of(*undo);
            if (undoState == RunState::Undone) continue;  // redone: the run's effect stands
            const bool whole = undoState == RunState::Done && u.figures.failed == 0;
            return whole ? RunState::Undone : RunState::PartlyUndone;
        }
        return own;
    }

  private:
    std::map<std::string, std::vector<const HistoryEntry*>> undos_;  // newest first
};

// The steps of run `id` that its standing undos took back: the origins of an undo's done
// steps, but for those of its steps that an undo of it took back in turn.
std::set<std::size_t> undoneSteps(const States& states, const std::string& id) {
    std::set<std::size_t> undone;
    for (const HistoryEntry* undo : states.undosOf(id)) {
        const JournalContent full = readJournal(undo->path);
        const std::set<std::size_t> redone = undoneSteps(states, undo->journal.id);
        for (const StepOutcome& outcome : full.outcomes) {
            const std::size_t origin = full.plan.steps[outcome.index].origin;
            if (outcome.result.status == StepStatus::Done && origin != kNoOrigin &&
                redone.count(outcome.index) == 0) {
                undone.insert(origin);
            }
        }
    }
    return undone;
}

}  // namespace

std::vector<HistoryEntry> readHistory(const std::string& stateFolder) {
    std::vector<std::string> paths = journalPaths(stateFolder);
    std::reverse(paths.begin(), paths.end());
    std::vector<HistoryEntry> history;
    history.reserve(paths.size());
    for (const std::string& path : paths) {
        HistoryEntry entry;
        entry.path = path;
        entry.id = idOf(path);
        try {
            entry.journal = readJournal(path, JournalDetail::Summary);
            entry.state = entry.journal.ownState();
        } catch (const JournalError& error) {
            entry.problem = error.what();
            entry.state = RunState::Unreadable;
        }
        // A journal just made holds nothing whole yet: its run lives, it is not damaged.
        if (!entry.journal.ended && isLive(path)) {
            entry.problem.clear();
            entry.state = RunState::Running;
        }
        history.push_back(std::move(entry));
    }
    std::vector<RunState> states;
    states.reserve(history.size());
    const States given(history);
    for (const HistoryEntry& entry : history) states.push_back(given.of(entry));
    for (std::size_t i = 0; i < history.size(); ++i) history[i].state = states[i];
    return history;
}

std::vector<std::size_t> stepsUndone(const std::string& stateFolder, const std::string& id) {
    const std::vector<HistoryEntry> history = readHistory(stateFolder);
    const States states(history);
    const std::set<std::size_t> undone = undoneSteps(states, id);
    return {undone.begin(), undone.end()};
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

// Each journal goes while its lock is held here, so a live run's never does.
void pruneHistory(const std::string& stateFolder, std::size_t keep) {
    const std::vector<std::string> paths = journalPaths(stateFolder);
    if (paths.size() <= keep) return;
    for (std::size_t i = 0; i < paths.size() - keep; ++i) {
        FileLock lock;
        if (lock.tryLock(paths[i]) == 0) removeAppendFile(paths[i]);
    }
}

}  // namespace kestrune
