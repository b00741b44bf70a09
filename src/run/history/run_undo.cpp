#include "run/history/run_undo.h"

#include <cerrno>
#include <deque>
#include <map>
#include <memory>
#include <optional>

#include "platform/entry_move.h"
#include "platform/file_actions.h"
#include "platform/trash.h"
#include "run/execute/entry_checks.h"
#include "run/history/run_history.h"
#include "run/plan/path_rules.h"

namespace kestrune {

namespace {

PlanStep undoStep(Action action, std::string source, const EntryIdentity& identity,
                  std::string target) {
    PlanStep step;
    step.action = action;
    step.source = std::move(source);
    step.identity = identity;
    step.target = std::move(target);
    return step;
}

PlanStep failedStep(const PlanStep& done, std::string reason) {
    PlanStep step = undoStep(done.action, {}, {}, done.source);
    step.status = StepStatus::Failed;
    step.error = std::move(reason);
    return step;
}

// The step that takes back one step the run did.
PlanStep inverse(const PlanStep& step, const StepResult& result) {
    switch (step.action) {
        case Action::Move:
            return undoStep(Action::Move, result.target, result.made, step.source);
        case Action::Copy:
            return undoStep(Action::Delete, result.target, result.made, step.source);
        case Action::Delete:
            // An undo removed a copy of step.target: it is made again.
            if (!step.target.empty()) {
                return undoStep(Action::Copy, step.target, step.identity, step.source);
            }
            return failedStep(step, "deleted permanently: it cannot come back");
        case Action::Trash:
            if (step.target.empty()) {
                if (result.target.empty()) return failedStep(step, "not found in the trash");
                return undoStep(Action::Trash, result.target, result.made, step.source);
            }
            return undoStep(Action::Trash, result.target, result.made, {});
        default:
            return failedStep(step, "nothing to undo");
    }
}

StepResult failure(std::string reason, std::string target = {}) {
    StepResult result;
    result.error = std::move(reason);
    result.target = std::move(target);
    return result;
}

StepResult done(std::string target, const EntryIdentity& made) {
    StepResult result;
    result.status = StepStatus::Done;
    result.target = std::move(target);
    result.made = made;
    return result;
}

std::string nameOf(const std::string& path) {
    return path.substr(folderPart(path).size());
}

// Copies across file systems wait, unflushed, for one flush of the batch, as in a run.
constexpr std::size_t kBatchFiles = 1024;

// A step reported in the plan's order, or a copy waiting for its batch's flush.
struct Queued {
    std::size_t index = 0;
    StepResult result;
    bool waiting = false;
    bool move = false;
    TemporaryCopy copy;
    OpenFolder from;
    OpenFolder to;
};

class Undoer {
  public:
    Undoer(const RunPlan& plan, const ExecuteOptions& options)
        : plan_(plan),
          observer_(options.observer),
          files_(options.files != nullptr ? *options.files : systemFileActions()) {}

    RunTotals run() {
        for (const std::string& folder : plan_.foldersToMake) makeMissing(folder);
        for (std::size_t i = 0; i < plan_.steps.size() && !totals_.stopped; ++i) {
            if (observer_ != nullptr) observer_->stepStarted(i);
            current_ = i;
            if (std::optional<StepResult> result = perform(plan_.steps[i])) report(i, *result);
            if (waiting_ >= kBatchFiles) settle();
        }
        settle();
        bool flushed = true;
        for (const auto& [device, folder] : touched_) {
            OpenFolder open;
            flushed =
                files_.openFolder(folder, "", open).ok() && files_.flush(open).ok() && flushed;
        }
        if (flushed && observer_ != nullptr) observer_->durable();
        return totals_;
    }

  private:
    void report(std::size_t index, StepResult result) {
        if (!queue_.empty()) {
            Queued queued;
            queued.index = index;
            queued.result = std::move(result);
            queue_.push_back(std::move(queued));
            return;
        }
        deliver(index, result);
    }

    void deliver(std::size_t index, const StepResult& result) {
        ++(result.status == StepStatus::Failed ? totals_.failed : totals_.succeeded);
        if (observer_ != nullptr && !observer_->stepDone(index, result)) totals_.stopped = true;
    }

    void touch(const std::string& path) {
        const std::string folder = folderPart(path);
        EntryIdentity identity;
        if (readIdentity(folder, identity) == 0) touched_.emplace(identity.device, folder);
    }

    // Parents first; each folder made is told, so that undoing this undo removes it again.
    bool makeMissing(const std::string& folder) {
        if (folder.empty() || folder == "/" || files_.isFolder(folder)) return true;
        const std::string parent =
            withoutTrailingSlashes(folderPart(withoutTrailingSlashes(folder)));
        if (!parent.empty() && !makeMissing(parent)) return false;
        const ActionResult made = files_.makeFolder(folder);
        if (!made.ok()) return made.code == EEXIST && files_.isFolder(folder);
        touch(folder);
        if (observer_ != nullptr) observer_->folderMade(folder);
        return true;
    }

    // Why the entry at `path` is not the one the run left, or empty.
    static std::string notAsLeft(const std::string& path, const EntryIdentity& left,
                                 EntryIdentity& now) {
        if (readIdentity(path, now) != 0) return "it is no longer at " + path;
        if (!unknown(left) && !stillAsLeft(now, left)) return "it changed since the run";
        return {};
    }

    std::string taken(const std::string& target) {
        if (files_.exists(target)) return "the path is taken since the run";
        if (!makeMissing(withoutTrailingSlashes(folderPart(target)))) {
            return "cannot create the folder of " + target;
        }
        return {};
    }

    std::optional<StepResult> perform(const PlanStep& step) {
        if (step.status == StepStatus::Failed) return failure(step.error, step.target);
        if (step.status == StepStatus::Merged) {
            settle();  // the entries bound out of the folder go first
            return removeIfEmpty(step);
        }
        switch (step.action) {
            case Action::Move:
                return moveBack(step);
            case Action::Delete:
                return removeCopy(step);
            case Action::Copy:
                return copyAgain(step);
            case Action::Trash:
                return step.target.empty() ? trashAgain(step) : restore(step);
            default:
                return failure("nothing to undo", step.target);
        }
    }

    std::optional<StepResult> moveBack(const PlanStep& step) {
        EntryIdentity now;
        if (std::string why = notAsLeft(step.source, step.identity, now); !why.empty()) {
            return failure(why, step.target);
        }
        if (std::string why = taken(step.target); !why.empty()) return failure(why, step.target);
        const ActionResult moved = moveWhole(step.source, step.target);
        if (moved.code == EXDEV && now.type != EntryType::Folder) return copy(step, now, true);
        if (!moved.ok()) return failure(moved.error, step.target);
        touch(step.source);
        touch(step.target);
        EntryIdentity made;
        readIdentity(step.target, made);
        return done(step.target, made);
    }

    StepResult removeCopy(const PlanStep& step) {
        EntryIdentity now;
        if (std::string why = notAsLeft(step.source, step.identity, now); !why.empty()) {
            return failure(why);
        }
        const ActionResult removed = removeMadeEntry(step.source, now);
        if (!removed.ok()) return failure(removed.error);
        touch(step.source);
        return done({}, {});
    }

    std::optional<StepResult> copyAgain(const PlanStep& step) {
        EntryIdentity now;
        if (readIdentity(step.source, now) != 0) {
            return failure("it is no longer at " + step.source, step.target);
        }
        // A link was copied as the file it names.
        if (now.type != EntryType::Link && !looksLikeCopyOf(now, step.identity)) {
            return failure("it changed since the run", step.target);
        }
        if (std::string why = taken(step.target); !why.empty()) return failure(why, step.target);
        return copy(step, now, false);
    }

    // A copy is put on disk, with its batch, before it takes its name; for a move, the
    // source then goes when it is unchanged since the copy began.
    std::optional<StepResult> copy(const PlanStep& step, const EntryIdentity& now, bool move) {
        Queued queued;
        queued.index = current_;
        queued.move = move;
        ActionResult result = files_.openFolder(folderPart(step.source), "", queued.from);
        if (result.ok()) result = files_.openFolder(folderPart(step.target), "", queued.to);
        if (result.ok()) {
            result = files_.copyToTemporary(queued.from, nameOf(step.source), now, !move, queued.to,
                                            queued.copy);
        }
        if (!result.ok()) return failure(result.error, step.target);
        queued.waiting = true;
        queued.result.target = step.target;
        touched_.emplace(queued.to->device(), folderPart(step.target));
        queue_.push_back(std::move(queued));
        ++waiting_;
        return std::nullopt;
    }

    void settle() {
        if (queue_.empty()) return;
        ActionResult flushed;
        for (const Queued& queued : queue_) {
            if (queued.waiting && flushed.ok()) flushed = files_.flush(queued.to);
        }
        while (!queue_.empty()) {
            Queued queued = std::move(queue_.front());
            queue_.pop_front();
            if (queued.waiting) place(queued, flushed);
            deliver(queued.index, queued.result);
        }
        waiting_ = 0;
    }

    void place(Queued& queued, const ActionResult& flushed) {
        const PlanStep& step = plan_.steps[queued.index];
        EntryIdentity made;
        ActionResult result = flushed;
        if (result.ok())
            result = files_.placeTemporary(queued.to, queued.copy, nameOf(step.target), made);
        if (!result.ok()) {
            files_.discardTemporary(queued.to, queued.copy);
            queued.result = failure(result.error, step.target);
            return;
        }
        if (queued.move) {
            touch(step.source);
            result = files_.removeCopiedSource(queued.from, nameOf(step.source), queued.copy);
            if (!result.ok()) {
                queued.result = failure(result.error, step.target);
                return;
            }
        }
        queued.result = done(step.target, made);
    }

    Trash& trash() {
        if (!trash_) trash_ = makeTrash(homeTrashFolder());
        return *trash_;
    }

    StepResult restore(const PlanStep& step) {
        EntryIdentity now;
        if (readIdentity(step.source, now) != 0)
            return failure("it is no longer in the trash", step.target);
        if (!unknown(step.identity) && !stillAsLeft(now, step.identity)) {
            return failure("it changed since the run", step.target);
        }
        if (files_.exists(step.target))
            return failure("the path is taken since the run", step.target);
        const RestoreResult restored = trash().restore(step.source);
        if (!restored.result.ok()) return failure(restored.result.error, step.target);
        touch(restored.path);
        EntryIdentity made;
        readIdentity(restored.path, made);
        return done(restored.path, made);
    }

    StepResult trashAgain(const PlanStep& step) {
        EntryIdentity now;
        if (std::string why = notAsLeft(step.source, step.identity, now); !why.empty()) {
            return failure(why);
        }
        const TrashResult trashed = trash().put(step.source);
        if (!trashed.result.ok()) return failure(trashed.result.error);
        EntryIdentity made;
        readIdentity(trashed.place.file, made);
        return done(trashed.place.file, made);
    }

    // A folder with anything in it stays, and that is no failure: the run did not empty it.
    StepResult removeIfEmpty(const PlanStep& step) {
        StepResult result;
        result.status = StepStatus::Merged;
        OpenFolder parent;
        EntryIdentity now;
        if (readIdentity(step.source, now) != 0 || now.type != EntryType::Folder ||
            !files_.openFolder(folderPart(step.source), "", parent).ok()) {
            return result;
        }
        if (files_.removeFolder(parent, nameOf(step.source), now).ok()) {
            touch(step.source);
            if (observer_ != nullptr) observer_->folderRemoved(step.source, {});
        }
        return result;
    }

    const RunPlan& plan_;
    ExecutionObserver* observer_;
    FileActions& files_;
    std::unique_ptr<Trash> trash_;
    std::map<std::uint64_t, std::string> touched_;  // one folder per file system
    RunTotals totals_;
    std::deque<Queued> queue_;
    std::size_t waiting_ = 0;
    std::size_t current_ = 0;
};

bool isUndo(const HistoryEntry& entry) {
    return !entry.journal.undoes.empty();
}

}  // namespace

RunPlan planUndo(const JournalContent& run) {
    RunPlan undo;
    undo.task = run.plan.task;
    undo.record = run.plan.record;
    std::swap(undo.record.sourceFolder, undo.record.targetFolder);
    for (auto folder = run.foldersRemoved.rbegin(); folder != run.foldersRemoved.rend(); ++folder) {
        undo.foldersToMake.push_back(folder->first);
    }
    for (auto outcome = run.outcomes.rbegin(); outcome != run.outcomes.rend(); ++outcome) {
        if (outcome->result.status != StepStatus::Done || outcome->index >= run.plan.steps.size()) {
            continue;
        }
        undo.steps.push_back(inverse(run.plan.steps[outcome->index], outcome->result));
    }
    for (auto folder = run.foldersMade.rbegin(); folder != run.foldersMade.rend(); ++folder) {
        PlanStep step = undoStep(Action::Move, *folder, {}, {});
        step.status = StepStatus::Merged;
        undo.steps.push_back(std::move(step));
    }
    return undo;
}

RunTotals carryOutUndo(const RunPlan& undo, const ExecuteOptions& options) {
    return Undoer(undo, options).run();
}

std::string runToUndo(const std::string& stateFolder, const std::string& id) {
    const std::vector<HistoryEntry> history = readHistory(stateFolder);
    for (const HistoryEntry& entry : history) {
        if (!id.empty()) {
            if (entry.journal.id != id && entry.path != journalPathOf(stateFolder, id)) continue;
            if (!entry.problem.empty()) throw UndoError(entry.problem);
            if (entry.state == RunState::Undone) {
                throw UndoError("The run " + id + " is undone already");
            }
            return entry.journal.id;
        }
        if (entry.problem.empty() && !isUndo(entry) &&
            (entry.state == RunState::Done || entry.state == RunState::Interrupted)) {
            return entry.journal.id;
        }
    }
    if (!id.empty()) throw UndoError("No run " + id + " in the history");
    throw UndoError("No run to undo in the history");
}

UndoPlan planUndoOf(const std::string& stateFolder, const std::string& id) {
    UndoPlan undo;
    undo.undoneId = runToUndo(stateFolder, id);
    try {
        undo.plan = planUndo(readJournal(journalPathOf(stateFolder, undo.undoneId)));
    } catch (const JournalError& error) {
        throw UndoError(error.what());
    }
    return undo;
}

JournaledRun runUndo(const UndoPlan& undo, const std::string& stateFolder,
                     const ExecuteOptions& options, std::size_t historySize) {
    return runJournaled(undo.plan, stateFolder, options, historySize, undo.undoneId, carryOutUndo);
}

}  // namespace kestrune
