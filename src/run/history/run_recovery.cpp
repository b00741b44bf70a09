#include "run/history/run_recovery.h"

#include <cerrno>
#include <fstream>
#include <set>

#include "platform/append_file.h"
#include "platform/entry_move.h"
#include "platform/file_lock.h"
#include "platform/folder_listing.h"
#include "platform/temporary_name.h"
#include "run/execute/entry_checks.h"
#include "run/history/journal.h"
#include "run/history/journal_reader.h"
#include "run/history/run_history.h"
#include "run/plan/path_rules.h"

namespace kestrune {

namespace {

bool present(const std::string& path, EntryIdentity& identity) {
    return !path.empty() && readIdentity(path, identity) == 0;
}

StepResult outcome(StepStatus status, std::string target, EntryIdentity made = {},
                   std::string error = {}) {
    StepResult result;
    result.status = status;
    result.target = std::move(target);
    result.made = made;
    result.error = std::move(error);
    return result;
}

class Recovery {
  public:
    Recovery(const JournalContent& run, std::vector<std::string>& lines)
        : run_(run), lines_(lines) {}

    FoundOnDisk recover() {
        if (!run_.planComplete) return found_;
        removeTemporaries();
        std::set<std::size_t> recorded;
        for (const StepOutcome& known : run_.outcomes) recorded.insert(known.index);
        for (std::size_t i = 0; i < run_.plan.steps.size(); ++i) {
            if (recorded.count(i) == 0) checkStep(i);
        }
        const std::set<std::string> made(run_.foldersMade.begin(), run_.foldersMade.end());
        EntryIdentity identity;
        for (const std::string& folder : run_.plan.foldersToMake) {
            if (made.count(folder) == 0 && present(folder, identity)) {
                found_.foldersMade.push_back(folder);
            }
        }
        // Moves, and undos, remove the folders they emptied.
        const bool removes =
            static_cast<Action>(run_.plan.record.action) == Action::Move || !run_.undoes.empty();
        std::set<std::string> removed;
        for (const auto& [path, shape] : run_.foldersRemoved) removed.insert(path);
        for (auto step = run_.plan.steps.rbegin(); step != run_.plan.steps.rend(); ++step) {
            if (step->status == StepStatus::Merged && removed.count(step->source) == 0 &&
                !present(step->source, identity) && removes) {
                found_.foldersRemoved.emplace_back(step->source, FolderShape{});
            }
        }
        return found_;
    }

  private:
    // Copies wait under temporary names only in the folders entries go to.
    void removeTemporaries() {
        std::set<std::string> folders(run_.plan.foldersToMake.begin(),
                                      run_.plan.foldersToMake.end());
        for (const PlanStep& step : run_.plan.steps) {
            if (!step.target.empty())
                folders.insert(withoutTrailingSlashes(folderPart(step.target)));
        }
        for (const std::string& folder : folders) {
            const FolderListing listing = listFolder(folder);
            std::size_t removed = 0;
            for (const FolderEntry& entry : listing.entries) {
                if (!isTemporaryName(entry.name)) continue;
                const std::string path = folder + "/" + entry.name;
                EntryIdentity identity;
                if (readIdentity(path, identity) != 0) continue;
                const ActionResult result = removeMadeEntry(path, identity);
                if (result.ok()) {
                    ++removed;
                } else {
                    lines_.push_back("cannot remove the temporary file " + path + ": " +
                                     result.error);
                }
            }
            removed_ += removed;
            if (removed > 0) ++folders_;
        }
        if (removed_ > 0) {
            lines_.push_back("removed " + std::to_string(removed_) + " temporary file(s) from " +
                             std::to_string(folders_) + " folder(s) it copied into");
        }
    }

    void checkStep(std::size_t index) {
        const PlanStep& step = run_.plan.steps[index];
        if (step.status != StepStatus::Planned) return;
        EntryIdentity atSource, atTarget;
        const bool source = present(step.source, atSource) && atSource.sameEntry(step.identity);
        const bool target = present(step.target, atTarget);
        switch (step.action) {
            case Action::Move:
                if (!target) return;
                if (atTarget.sameEntry(step.identity)) return done(index, step, atTarget);
                if (!looksLikeCopyOf(atTarget, step.identity)) return;
                if (!present(step.source, atSource)) return done(index, step, atTarget);
                return finishMove(index, step, atSource, atTarget);
            case Action::Copy:
                if (target && !atTarget.sameEntry(step.identity) &&
                    looksLikeCopyOf(atTarget, step.identity)) {
                    done(index, step, atTarget);
                }
                return;
            case Action::Delete:
            case Action::Trash:
                if (!source && !present(step.source, atSource)) done(index, step, {});
                return;
            default:
                return;
        }
    }

    void done(std::size_t index, const PlanStep& step, const EntryIdentity& made) {
        found_.outcomes.emplace_back(index, outcome(StepStatus::Done, step.target, made));
    }

    // The copy is complete (it was flushed before it got its name): the move is finished
    // by removing its source, unless the source changed since it was listed.
    void finishMove(std::size_t index, const PlanStep& step, const EntryIdentity& atSource,
                    const EntryIdentity& atTarget) {
        if (stillAsLeft(atSource, step.identity)) {
            const ActionResult removed = removeMadeEntry(step.source, atSource);
            if (removed.ok()) {
                lines_.push_back("finished the move of " + step.source + " to " + step.target);
                return done(index, step, atTarget);
            }
            lines_.push_back("kept both " + step.source + " and its copy " + step.target +
                             ": the source cannot be removed: " + removed.error);
            found_.outcomes.emplace_back(
                index, outcome(StepStatus::Failed, step.target, {}, removed.error));
            return;
        }
        const std::string reason = "the source changed while it was moved: both are kept";
        lines_.push_back("kept both " + step.source + " and " + step.target + ": " + reason);
        found_.outcomes.emplace_back(index, outcome(StepStatus::Failed, step.target, {}, reason));
    }

    const JournalContent& run_;
    std::vector<std::string>& lines_;
    FoundOnDisk found_;
    std::size_t removed_ = 0;
    std::size_t folders_ = 0;
};

void recoverOne(const HistoryEntry& entry, std::vector<std::string>& lines) {
    FileLock lock;
    if (lock.tryLock(entry.path) != 0) return;  // still going, or gone
    JournalContent run;
    try {
        run = readJournal(entry.path);
    } catch (const JournalError& error) {
        lines.push_back(std::string("cannot recover a run: ") + error.what());
        return;
    }
    if (run.ended) return;  // ended while the lock was awaited
    const std::size_t before = lines.size();
    const FoundOnDisk found = Recovery(run, lines).recover();
    try {
        markInterrupted(entry.path, found);
    } catch (const JournalError& error) {
        lines.push_back(error.what());
        return;
    }
    std::size_t done = run.figures.done;
    for (const auto& [index, result] : found.outcomes) {
        if (result.status == StepStatus::Done) ++done;
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(before),
                 "the run " + run.id + " of task \"" + run.plan.task +
                     "\" was cut short: marked interrupted, " + std::to_string(done) +
                     " entries done");
}

// A run killed before its journal's first line was whole had done nothing: its journal goes.
void removeUnbegun(const HistoryEntry& entry, std::vector<std::string>& lines) {
    FileLock lock;
    if (lock.tryLock(entry.path) != 0) return;  // being written
    std::ifstream file(entry.path, std::ios::binary);
    std::string first;
    if (!file || (std::getline(file, first) && !file.eof())) return;  // a whole line: keep it
    if (removeAppendFile(entry.path) == 0) {
        lines.push_back("removed the empty journal of a run killed before it began: " + entry.path);
    }
}

}  // namespace

std::vector<std::string> recoverInterruptedRuns(const std::string& stateFolder) {
    std::vector<std::string> lines;
    // Oldest first: a run killed, then an undo of it killed, are put right in their order.
    std::vector<HistoryEntry> history = readHistory(stateFolder);
    for (auto entry = history.rbegin(); entry != history.rend(); ++entry) {
        if (!entry->problem.empty()) {
            removeUnbegun(*entry, lines);
        } else if (!entry->journal.ended) {
            recoverOne(*entry, lines);
        }
    }
    return lines;
}

}  // namespace kestrune
