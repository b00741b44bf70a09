#include "run/history/run_recovery.h"

#include <fstream>
#include <map>
#include <set>
#include <string_view>

#include "platform/append_file.h"
#include "platform/file_actions.h"
#include "platform/file_io.h"
#include "platform/file_lock.h"
#include "platform/folder_listing.h"
#include "platform/temporary_name.h"
#include "platform/trash.h"
#include "run/execute/entry_checks.h"
#include "run/execute/open_folders.h"
#include "run/execute/plan_executor.h"
#include "run/history/journal.h"
#include "run/history/journal_reader.h"
#include "run/history/journal_roots.h"
#include "run/history/run_history.h"
#include "run/plan/name_form.h"
#include "run/plan/path_rules.h"
#include "run/plan/plan_roots.h"

namespace kestrune {

namespace {

// Trashed names tried when looking for an entry in the trash: "name", "name_2", ...
constexpr int kTrashNames = 10000;

StepResult outcome(StepStatus status, std::string target, EntryIdentity made = {},
                   std::string error = {}) {
    StepResult result;
    result.status = status;
    result.target = std::move(target);
    result.made = made;
    result.error = std::move(error);
    return result;
}

// Hears the outcomes of the recovery's own plan.
class Outcomes final : public ExecutionObserver {
  public:
    bool stepDone(std::size_t index, const StepResult& result) override {
        results[index] = result;
        return true;
    }
    std::map<std::size_t, StepResult> results;
};

// What one step of the recovery's plan is for.
struct Purpose {
    enum class Kind { RemoveTemporary, PlaceTemporary, FinishMove, RemoveRecord } kind;
    StepResult whenDone;  // the run's outcome once it is done (FinishMove, PlaceTemporary)
};

// Brings a run cut short to a known state, following its journal: what the records prove is
// finished or taken back by a plan of its own, carried out by the one executor; what they do
// not prove is left alone.
class Recovery {
  public:
    Recovery(const JournalContent& run, std::vector<std::string>& lines)
        : run_(run), lines_(lines), folders_(systemFileActions(), plan_.roots) {
        plan_.task = run.plan.task;
        plan_.record = run.plan.record;
        plan_.trash = trashOfRun(run);
        plan_.roots = rootsOfRun(run);
        plan_.exactTargets = !run.undoes.empty();
    }

    FoundOnDisk recover() {
        if (!run_.planComplete) return found_;
        for (const StepOutcome& known : run_.outcomes) recorded_.insert(known.index);
        for (const CopyRecord& copy : run_.copies) copies_[copy.index] = copy;
        for (const StepOutcome& placed : run_.placed) placed_[placed.index] = placed.result;
        findTemporaries();
        for (std::size_t i = 0; i < run_.plan.steps.size(); ++i) {
            if (recorded_.count(i) == 0 && run_.plan.steps[i].status == StepStatus::Planned) {
                examine(i);
            }
        }
        carryOut();
        findFolders();
        return found_;
    }

  private:
    // Every look goes through the run's folders, opened once each below its roots as the
    // executor opens them: nothing below a root is followed, and a folder of many entries
    // is not looked up again for each.
    bool present(const std::string& path, EntryIdentity& identity) {
        OpenFolder folder;
        if (path.empty() || !folders_.open(folderPart(path), folder).ok()) return false;
        return readIdentityIn(folder, namePart(path), identity) == 0;
    }

    // The entries of the folder (no trailing "/"), through its open parent; a root of the
    // run where its links led when the run was planned, if it is still the folder found then.
    std::vector<FolderEntry> entriesOf(const std::string& folder) {
        if (const PlanRoot* root = rootOfPath(folder); root && root->path == folder) {
            FolderId now;
            if (!folderIdentity(root->real, now) || (root->id != FolderId{} && now != root->id)) {
                return {};
            }
            // Only names are taken from it: each step the recovery makes from them is checked
            // by the executor through the open root.
            return listFolder(root->real).entries;
        }
        OpenFolder parent;
        EntryIdentity self;
        const std::string name = namePart(folder);
        if (name.empty() || !folders_.open(folderPart(folder), parent).ok() ||
            readIdentityIn(parent, name, self) != 0 || self.type != EntryType::Folder) {
            return {};
        }
        return listFolderBelow(parent, name, {self.device, self.inode}).entries;
    }

    std::string readRecord(const std::string& path) {
        OpenFolder folder;
        std::string text;
        if (folders_.open(folderPart(path), folder).ok()) {
            systemFileActions().readSmallFile(folder, namePart(path), text);
        }
        return text;
    }

    // This run's temporary copies, by step: only its own, never another run's.
    void findTemporaries() {
        std::set<std::string> folders;
        for (std::size_t i = 0; i < run_.plan.steps.size(); ++i) {
            const PlanStep& step = run_.plan.steps[i];
            if (recorded_.count(i) == 0 && !step.target.empty()) {
                folders.insert(withoutTrailingSlashes(folderPart(step.target)));
            }
        }
        if (!plan_.trash.folder.empty()) folders.insert(trashFilesFolder(plan_.trash.folder));
        for (const std::string& folder : folders) {
            for (const FolderEntry& entry : entriesOf(folder)) {
                const std::optional<TemporaryOwner> owner = temporaryOwnerOf(entry.name);
                if (owner && owner->runId == run_.id && owner->index < run_.plan.steps.size()) {
                    temporaries_[owner->index] = folder + "/" + entry.name;
                }
            }
        }
    }

    void add(Action action, const std::string& source, const EntryIdentity& identity,
             const std::string& target, std::size_t origin, Purpose purpose) {
        PlanStep step;
        step.action = action;
        step.source = source;
        step.identity = identity;
        step.target = target;
        step.origin = origin;
        plan_.steps.push_back(std::move(step));
        purposes_.push_back(std::move(purpose));
    }

    void done(std::size_t index, const std::string& target, const EntryIdentity& made) {
        found_.outcomes.emplace_back(index, outcome(StepStatus::Done, target, made));
    }

    void bothKept(std::size_t index, const PlanStep& step, const std::string& copy,
                  const std::string& reason) {
        lines_.push_back("kept both " + step.source + " and " + copy + ": " + reason);
        found_.outcomes.emplace_back(index, outcome(StepStatus::Failed, copy, {}, reason));
    }

    // A copy is in place and its source still to go: it goes when it is still whole as
    // listed. A folder stays beside its copy: what was added to it since would be lost.
    void finishMove(std::size_t index, const PlanStep& step, const StepResult& placed) {
        EntryIdentity atSource;
        if (!present(step.source, atSource)) return done(index, placed.target, placed.made);
        if (!stillAsLeft(atSource, sourceAsCopied(step.identity, placed.made)) ||
            atSource.type == EntryType::Folder) {
            return bothKept(index, step, placed.target,
                            "the source changed while it was moved: both are kept");
        }
        add(Action::RemoveCopy, step.source, atSource, {}, index,
            {Purpose::Kind::FinishMove, placed});
    }

    // What the source must still be for its copy to stand for it: as the plan listed it, and
    // where the listing alone gave its identity, as the copy shows it was (copies keep the
    // size and the times).
    static EntryIdentity sourceAsCopied(const EntryIdentity& listed, const EntryIdentity& copy) {
        if (!listed.listedOnly()) return listed;
        EntryIdentity source = listed;
        source.size = copy.size;
        source.modifiedNs = copy.modifiedNs;
        source.changedNs = 0;
        return source;
    }

    // Where the copy with that identity took its name, if it did: the planned target or a
    // name with a random part beside it.
    std::optional<std::string> placedAt(const PlanStep& step, const EntryIdentity& identity) {
        EntryIdentity there;
        if (present(step.target, there) && there.sameEntry(identity)) return step.target;
        const std::string folder = folderPart(step.target);
        for (const FolderEntry& entry : entriesOf(withoutTrailingSlashes(folder))) {
            if (!isPlacedFormOf(entry.name, namePart(step.target))) continue;
            if (present(folder + entry.name, there) && there.sameEntry(identity)) {
                return folder + entry.name;
            }
        }
        return std::nullopt;
    }

    // A temporary copy is taken back when its source is still there whole; otherwise it
    // may be all that is left of the entry, and it takes its place.
    void settleTemporary(std::size_t index, const PlanStep& step, const std::string& temporary) {
        EntryIdentity atTemporary, atSource;
        if (!present(temporary, atTemporary)) return;
        const bool whole = present(step.source, atSource) && stillAsLeft(atSource, step.identity);
        if (whole || step.action == Action::Copy) {
            return add(Action::RemoveCopy, temporary, atTemporary, {}, index,
                       {Purpose::Kind::RemoveTemporary, {}});
        }
        // A copy is whole when it holds the source's size; where the listing alone gave the
        // source's identity, only its `copied` record tells.
        const auto record = copies_.find(index);
        const bool complete =
            atTemporary.type == EntryType::Folder ||
            (step.identity.listedOnly()
                 ? record != copies_.end() && looksLikeCopyOf(atTemporary, record->second.identity)
                 : atTemporary.size == step.identity.size);
        if (step.target.empty() || !complete) {
            lines_.push_back("kept the copy " + temporary + " of " + step.source +
                             ": its source is gone");
            return;
        }
        add(Action::Place, temporary, atTemporary, step.target, index,
            {Purpose::Kind::PlaceTemporary, {}});
    }

    void examine(std::size_t index) {
        const PlanStep& step = run_.plan.steps[index];
        if (const auto placed = placed_.find(index); placed != placed_.end()) {
            return finishMove(index, step, placed->second);
        }
        if (const auto temporary = temporaries_.find(index); temporary != temporaries_.end()) {
            return settleTemporary(index, step, temporary->second);
        }
        if (const auto copy = copies_.find(index); copy != copies_.end()) {
            return copyTookItsName(index, step, copy->second);
        }
        EntryIdentity now;
        switch (step.action) {
            case Action::Move:
            case Action::Place:
                if (const auto at = placedAt(step, step.identity)) {
                    if (present(*at, now)) done(index, *at, now);
                }
                return;
            case Action::PutBack:
                if (present(step.target, now) && now.sameEntry(step.identity)) {
                    done(index, step.target, now);
                    removeRecordOf(index, namePart(step.source));
                }
                return;
            case Action::Trash:
                return trashed(index, step);
            case Action::Delete:
            case Action::RemoveCopy:
                if (!present(step.source, now)) done(index, {}, {});
                return;
            default:
                return;
        }
    }

    // The copy took its name (its temporary is gone): a copy is done; a move's source goes.
    void copyTookItsName(std::size_t index, const PlanStep& step, const CopyRecord& copy) {
        std::optional<std::string> at;
        if (step.action == Action::Trash) {
            at = inTrash(step, copy.identity);
        } else {
            at = placedAt(step, copy.identity);
        }
        if (!at) return;
        EntryIdentity now;
        if (!present(*at, now)) return;
        if (step.action == Action::Copy) return done(index, *at, now);
        finishMove(index, step, outcome(StepStatus::Done, *at, now));
    }

    // The trashed entry with that identity, looked for under the names it could have got.
    std::optional<std::string> inTrash(const PlanStep& step, const EntryIdentity& identity) {
        if (plan_.trash.folder.empty()) return std::nullopt;
        const std::string files = trashFilesFolder(plan_.trash.folder) + "/";
        const std::string info = trashInfoFolder(plan_.trash.folder) + "/";
        for (int attempt = 1; attempt <= kTrashNames; ++attempt) {
            const TrashNames names = trashNames(namePart(step.source), attempt);
            EntryIdentity there, record;
            const bool file = present(files + names.file, there);
            if (file && there.sameEntry(identity)) return files + names.file;
            if (!file && !present(info + names.info, record)) return std::nullopt;
        }
        return std::nullopt;
    }

    void trashed(std::size_t index, const PlanStep& step) {
        if (const auto at = inTrash(step, step.identity)) {
            EntryIdentity now;
            if (present(*at, now)) done(index, *at, now);
            return;
        }
        removeOrphanRecords(index, step);
    }

    // A record written for an entry that never moved into the trash: it goes.
    void removeOrphanRecords(std::size_t index, const PlanStep& step) {
        if (plan_.trash.folder.empty()) return;
        const std::string files = trashFilesFolder(plan_.trash.folder) + "/";
        const std::string info = trashInfoFolder(plan_.trash.folder) + "/";
        const PlanRoot* root = rootOfPath(step.source);
        const std::string real =
            root == nullptr ? step.source : root->real + step.source.substr(root->path.size());
        for (int attempt = 1; attempt <= kTrashNames; ++attempt) {
            const TrashNames names = trashNames(namePart(step.source), attempt);
            EntryIdentity there, record;
            const bool file = present(files + names.file, there);
            if (!present(info + names.info, record)) {
                if (!file) return;
                continue;
            }
            if (file) continue;
            if (trashInfoPath(readRecord(info + names.info), plan_.trash.top) == real) {
                add(Action::RemoveCopy, info + names.info, record, {}, index,
                    {Purpose::Kind::RemoveRecord, {}});
            }
        }
    }

    void removeRecordOf(std::size_t index, const std::string& trashedName) {
        if (plan_.trash.folder.empty()) return;
        const std::string path =
            trashInfoFolder(plan_.trash.folder) + "/" + trashInfoName(trashedName);
        EntryIdentity record;
        if (present(path, record)) {
            add(Action::RemoveCopy, path, record, {}, index, {Purpose::Kind::RemoveRecord, {}});
        }
    }

    const PlanRoot* rootOfPath(const std::string& path) const {
        const std::optional<std::size_t> root = rootIndexOf(plan_.roots, path);
        return root ? &plan_.roots[*root] : nullptr;
    }

    // The recovery's own steps, by the one executor; their outcomes become the run's.
    void carryOut() {
        if (plan_.steps.empty()) return;
        Outcomes heard;
        ExecuteOptions options;
        options.observer = &heard;
        options.runId = run_.id;
        executePlan(plan_, options);
        std::size_t removed = 0;
        for (std::size_t k = 0; k < plan_.steps.size(); ++k) {
            const PlanStep& step = plan_.steps[k];
            const auto heardOf = heard.results.find(k);
            const bool ok =
                heardOf != heard.results.end() && heardOf->second.status == StepStatus::Done;
            const std::string why = heardOf == heard.results.end() ? "" : heardOf->second.error;
            const PlanStep& original = run_.plan.steps[step.origin];
            switch (purposes_[k].kind) {
                case Purpose::Kind::RemoveTemporary:
                    if (ok) {
                        ++removed;
                    } else {
                        lines_.push_back("cannot remove the temporary copy " + step.source + ": " +
                                         why);
                    }
                    break;
                case Purpose::Kind::PlaceTemporary:
                    if (ok) {
                        lines_.push_back("put the copy of " + original.source + " in place at " +
                                         heardOf->second.target + ": its source is gone");
                        done(step.origin, heardOf->second.target, heardOf->second.made);
                    } else {
                        lines_.push_back("kept the copy " + step.source + " of " + original.source +
                                         ": " + why);
                    }
                    break;
                case Purpose::Kind::FinishMove:
                    if (ok) {
                        lines_.push_back("finished the move of " + original.source + " to " +
                                         purposes_[k].whenDone.target);
                        done(step.origin, purposes_[k].whenDone.target, purposes_[k].whenDone.made);
                    } else {
                        bothKept(step.origin, original, purposes_[k].whenDone.target,
                                 "the source cannot be removed: " + why);
                    }
                    break;
                case Purpose::Kind::RemoveRecord:
                    break;
            }
        }
        if (removed > 0) {
            lines_.push_back("removed " + std::to_string(removed) +
                             " temporary copy(ies) the run left");
        }
    }

    // Folders the plan made or removed whose records the cut kept from the journal.
    void findFolders() {
        const std::set<std::string> made(run_.foldersMade.begin(), run_.foldersMade.end());
        EntryIdentity identity;
        for (const std::string& folder : run_.plan.foldersToMake) {
            if (made.count(folder) == 0 && present(folder, identity)) {
                found_.foldersMade.push_back(folder);
            }
        }
        std::set<std::string> removed;
        for (const auto& [path, shape] : run_.foldersRemoved) removed.insert(path);
        for (const std::string& folder : run_.plan.foldersToRemove) {
            if (removed.count(folder) == 0 && !present(folder, identity)) {
                found_.foldersRemoved.emplace_back(folder, FolderShape{});
            }
        }
    }

    const JournalContent& run_;
    std::vector<std::string>& lines_;
    FoundOnDisk found_;
    RunPlan plan_;
    OpenFolders folders_;
    std::vector<Purpose> purposes_;
    std::set<std::size_t> recorded_;
    std::map<std::size_t, CopyRecord> copies_;
    std::map<std::size_t, StepResult> placed_;
    std::map<std::size_t, std::string> temporaries_;
};

void recoverOne(const HistoryEntry& entry, std::vector<std::string>& lines) {
    FileLock lock;
    if (lock.tryLock(entry.path) != 0) return;  // still going, or gone
    JournalContent run;
    try {
        run = readJournal(entry.path);
    } catch (const JournalError& error) {
        lines.push_back(error.what());
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

// A run whose journal never said its whole plan was on disk had done nothing: its journal,
// torn by the kill, goes.
bool removeUnbegun(const HistoryEntry& entry, std::vector<std::string>& lines) {
    FileLock lock;
    if (lock.tryLock(entry.path) != 0) return true;  // being written
    const FileContent content = systemFileIo().read(entry.path);
    if (!content.ok() || content.bytes.find("\nacting") != std::string::npos) return false;
    if (removeAppendFile(entry.path) == 0) {
        lines.push_back("removed the journal of a run killed before it began: " + entry.path);
    }
    return true;
}

}  // namespace

std::vector<std::string> recoverInterruptedRuns(const std::string& stateFolder) {
    std::vector<std::string> lines;
    // Oldest first: a run killed, then an undo of it killed, are put right in their order.
    std::vector<HistoryEntry> history = readHistory(stateFolder);
    for (auto entry = history.rbegin(); entry != history.rend(); ++entry) {
        if (entry->state == RunState::Unreadable) {
            // Named once, never written to: what it says cannot be trusted.
            if (!removeUnbegun(*entry, lines)) lines.push_back(entry->problem);
        } else if (entry->state == RunState::Interrupted && !entry->journal.ended) {
            recoverOne(*entry, lines);
        }
    }
    return lines;
}

}  // namespace kestrune
