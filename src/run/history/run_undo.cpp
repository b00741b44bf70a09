#include "run/history/run_undo.h"

#include <set>
#include <string_view>
#include <unordered_set>

#include "platform/file_actions.h"
#include "platform/trash.h"
#include "run/execute/entry_checks.h"
#include "run/history/journal_roots.h"
#include "run/history/run_history.h"
#include "run/plan/name_form.h"
#include "run/plan/path_rules.h"
#include "run/plan/plan_roots.h"

namespace kestrune {

namespace {

PlanStep undoStep(Action action, std::string source, const EntryIdentity& identity,
                  std::string target, std::size_t origin) {
    PlanStep step;
    step.action = action;
    step.source = std::move(source);
    step.identity = identity;
    step.target = std::move(target);
    step.origin = origin;
    return step;
}

PlanStep refused(const PlanStep& done, std::size_t origin, std::string reason) {
    PlanStep step = undoStep(Action::None, done.target, {}, done.source, origin);
    step.status = StepStatus::Failed;
    step.error = std::move(reason);
    return step;
}

class UndoPlanner {
  public:
    UndoPlanner(const JournalContent& run, const std::vector<std::size_t>& alreadyUndone)
        : run_(run), undone_(alreadyUndone.begin(), alreadyUndone.end()) {
        plan_.task = run.plan.task;
        plan_.undoes = run.id;
        plan_.record = run.plan.record;
        std::swap(plan_.record.sourceFolder, plan_.record.targetFolder);
        plan_.trash = trashOfRun(run);
        plan_.roots = rootsOfRun(run);
        rootAboveMadeFolders();
        plan_.exactTargets = true;
    }

    RunPlan plan() {
        for (auto folder = run_.foldersRemoved.rbegin(); folder != run_.foldersRemoved.rend();
             ++folder) {
            if (!within(folder->first)) continue;
            need(folder->first);
            if (folder->second.mode != 0) plan_.shapes.push_back(*folder);
        }
        for (auto outcome = run_.outcomes.rbegin(); outcome != run_.outcomes.rend(); ++outcome) {
            if (outcome->result.status != StepStatus::Done || undone_.count(outcome->index) != 0) {
                continue;
            }
            PlanStep step = inverse(outcome->index, outcome->result);
            if (step.status == StepStatus::Planned && !step.target.empty()) {
                needParents(step.target);
            }
            plan_.steps.push_back(std::move(step));
        }
        for (auto folder = run_.foldersMade.rbegin(); folder != run_.foldersMade.rend(); ++folder) {
            if (within(*folder)) plan_.foldersToRemove.push_back(*folder);
        }
        return std::move(plan_);
    }

  private:
    // A journal that names no roots has them found again now, when a folder the run made
    // (its target folder) exists and would be a root itself, which the undo could not
    // remove: the root is the folder the run made it in, as it was when the run was planned.
    void rootAboveMadeFolders() {
        if (!run_.plan.roots.empty()) return;
        const std::set<std::string> made(run_.foldersMade.begin(), run_.foldersMade.end());
        for (PlanRoot& root : plan_.roots) {
            while (made.count(root.path) != 0) {
                root = rootOf(withoutTrailingSlashes(folderPart(root.path)));
            }
        }
    }

    bool within(const std::string& path) {
        if (rootIndexOf(plan_.roots, path)) return true;
        PlanStep outside = undoStep(Action::None, path, {}, {}, kNoOrigin);
        outside.status = StepStatus::Failed;
        outside.error = outsideMessage(path) + ": left alone";
        plan_.steps.push_back(std::move(outside));
        return false;
    }

    // A folder to make again, parents first, each once.
    void need(const std::string& folder) {
        if (made_.insert(folder).second) plan_.foldersToMake.push_back(folder);
    }

    // The folders above a target that are gone now: made again within the run's folders.
    // Each folder is looked at once, however many entries go back into it: the steps of a
    // folder come together, so the latest one answers most.
    void needParents(const std::string& target) {
        const std::string_view parent =
            std::string_view(target).substr(0, folderPart(target).size());
        if (parent == lastParent_) return;
        lastParent_ = parent;
        const std::optional<std::size_t> root = rootIndexOf(plan_.roots, target);
        if (!root) return;
        const std::string& rootPath = plan_.roots[*root].path;
        std::vector<std::string> missing;
        for (std::string folder = withoutTrailingSlashes(lastParent_);
             folder.size() > rootPath.size() && made_.count(folder) == 0 &&
             present_.count(folder) == 0;
             folder = withoutTrailingSlashes(folderPart(folder))) {
            if (systemFileActions().isFolder(folder)) {
                present_.insert(folder);
                break;
            }
            missing.push_back(folder);
        }
        for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder) need(*folder);
    }

    // Where the run's plan could have put the entry: its planned target, or the same folder
    // under the name with a random part that a name taken since planning gets.
    bool plannedPlace(const PlanStep& step, const std::string& at) const {
        if (at == step.target) return true;
        if (folderPart(at) != folderPart(step.target)) return false;
        return isPlacedFormOf(namePart(at), namePart(step.target));
    }

    bool inTrash(const std::string& at) const {
        return !plan_.trash.folder.empty() &&
               folderPart(at) == trashFilesFolder(plan_.trash.folder) + "/";
    }

    // Why the record cannot be trusted, or empty.
    std::string unproven(const PlanStep& step, const StepResult& result) const {
        if (unknown(result.made)) {
            return "the journal does not say what the run left at " + result.target;
        }
        const bool placed = step.action == Action::Trash     ? inTrash(result.target)
                            : step.action == Action::PutBack ? result.target == step.target
                                                             : plannedPlace(step, result.target);
        if (!placed) return result.target + " is not where the run put it";
        for (const std::string& path : {result.target, step.source}) {
            if (!path.empty() && !rootIndexOf(plan_.roots, path)) return outsideMessage(path);
        }
        return {};
    }

    PlanStep inverse(std::size_t index, const StepResult& result) {
        const PlanStep& step = run_.plan.steps[index];
        if (step.action == Action::Delete) {
            return refused(step, index, "deleted permanently: it cannot come back");
        }
        if (step.action == Action::RemoveCopy) return copyAgain(step, index);
        if (std::string why = unproven(step, result); !why.empty()) {
            return refused(step, index, std::move(why));
        }
        switch (step.action) {
            case Action::Move:
            case Action::Place:
                return undoStep(Action::Move, result.target, result.made, step.source, index);
            case Action::Copy:
                return undoStep(Action::RemoveCopy, result.target, result.made, step.source, index);
            case Action::Trash:
                return undoStep(Action::PutBack, result.target, result.made, step.source, index);
            case Action::PutBack:
                return undoStep(Action::Trash, result.target, result.made, {}, index);
            default:
                return refused(step, index, "nothing to undo");
        }
    }

    // An undo removed a copy: it is made again from the entry it was copied from, when that
    // still holds what the copy held.
    PlanStep copyAgain(const PlanStep& step, std::size_t index) const {
        if (!rootIndexOf(plan_.roots, step.source)) {
            return refused(step, index, outsideMessage(step.source));
        }
        EntryIdentity now;
        if (readIdentity(step.target, now) != 0) {
            return refused(step, index, "it is no longer at " + step.target);
        }
        if (!looksLikeCopyOf(now, step.identity)) {
            return refused(step, index, "it changed since the run");
        }
        return undoStep(Action::Copy, step.target, now, step.source, index);
    }

    const JournalContent& run_;
    const std::set<std::size_t> undone_;
    RunPlan plan_;
    std::set<std::string> made_;
    std::unordered_set<std::string> present_;  // folders found there
    std::string lastParent_;                   // of the latest target, with "/"
};

bool isUndo(const HistoryEntry& entry) {
    return !entry.journal.undoes.empty();
}

// The steps of the run that are left to undo.
std::size_t leftToUndo(const std::string& stateFolder, const HistoryEntry& entry) {
    const std::size_t done = entry.journal.figures.done;
    if (done == 0 || entry.state == RunState::Undone) return 0;
    if (entry.state != RunState::PartlyUndone) return done;
    const std::size_t undone = stepsUndone(stateFolder, entry.id).size();
    return undone >= done ? 0 : done - undone;
}

}  // namespace

RunPlan planUndo(const JournalContent& run, const std::vector<std::size_t>& alreadyUndone) {
    return UndoPlanner(run, alreadyUndone).plan();
}

std::string runToUndo(const std::string& stateFolder, const std::string& id) {
    const std::vector<HistoryEntry> history = readHistory(stateFolder);
    for (const HistoryEntry& entry : history) {
        if (!id.empty()) {
            if (entry.id != id) continue;
            if (entry.state == RunState::Unreadable) throw UndoError(entry.problem);
            if (entry.state == RunState::Running) {
                throw UndoError("The run " + id + " is still going");
            }
            if (entry.state == RunState::Undone) {
                throw UndoError("The run " + id + " is undone already");
            }
            return entry.id;
        }
        if (entry.state == RunState::Unreadable || entry.state == RunState::Running ||
            isUndo(entry)) {
            continue;
        }
        if (leftToUndo(stateFolder, entry) > 0) return entry.id;
    }
    if (!id.empty()) throw UndoError("No run " + id + " in the history");
    throw UndoError("No run to undo in the history");
}

UndoPlan planUndoOf(const std::string& stateFolder, const std::string& id) {
    UndoPlan undo;
    undo.undoneId = runToUndo(stateFolder, id);
    try {
        const JournalContent run = readJournal(journalPathOf(stateFolder, undo.undoneId));
        undo.plan = planUndo(run, stepsUndone(stateFolder, undo.undoneId));
    } catch (const JournalError& error) {
        throw UndoError(error.what());
    }
    return undo;
}

JournaledRun runUndo(const UndoPlan& undo, const std::string& stateFolder,
                     const ExecuteOptions& options, std::size_t historySize) {
    return runJournaled(undo.plan, stateFolder, options, historySize, undo.undoneId);
}

}  // namespace kestrune
