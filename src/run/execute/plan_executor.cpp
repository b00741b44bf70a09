#include "run/execute/plan_executor.h"

#include <cerrno>

#include "platform/random_source.h"
#include "platform/trash.h"
#include "run/execute/executor.h"
#include "run/plan/name_form.h"
#include "run/plan/name_source.h"
#include "run/plan/path_rules.h"
#include "run/plan/plan_roots.h"
#include "run/plan/run_planner.h"

namespace kestrune {

namespace execute {

namespace {

// Another program may take a planned name just before the action; the action then fails
// without harm and the entry gets a fresh name.
constexpr int kAttempts = 3;
// Names tried in the trash before giving up: "name", "name_2", ...
constexpr int kTrashAttempts = 10000;

StepResult failure(std::string error, std::string target = {}) {
    StepResult result;
    result.error = std::move(error);
    result.target = std::move(target);
    return result;
}

StepResult done(std::string target, const EntryIdentity& made = {}) {
    StepResult result;
    result.status = StepStatus::Done;
    result.target = std::move(target);
    result.made = made;
    return result;
}

// An undo speaks of the run it takes back: the entry the run left is gone or changed.
std::string reasonFor(const ActionResult& outcome, const PlanStep& step, bool undo) {
    if (!undo) return outcome.error;
    if (outcome.code == ENOENT) return "it is no longer at " + step.source;
    if (outcome.code == ESTALE) return "it changed since the run";
    if (outcome.code == EEXIST) return "the path is taken since the run";
    return outcome.error;
}

// A run without a journal still names its temporary copies as its own.
std::string unjournaledId() {
    return "run" + std::to_string(trueRandomSeed());
}

StepResult leftAlone(const PlanStep& step) {
    StepResult result;
    result.status = step.status;
    result.target = step.target;
    return result;
}

}  // namespace

Executor::Executor(const RunPlan& plan, const ExecuteOptions& options)
    : plan_(plan),
      observer_(options.observer),
      files_(options.files != nullptr ? *options.files : systemFileActions()),
      names_(options.names != nullptr ? *options.names : randomNames()),
      stop_(options.stop),
      runId_(options.runId.empty() ? unjournaledId() : options.runId),
      folders_(files_, plan.roots) {}

bool Executor::stopAsked() const {
    return stop_ != nullptr && stop_->load(std::memory_order_relaxed);
}

RunTotals Executor::run() {
    if (!plan_.error.empty()) {
        totals_.error = plan_.error;
        return totals_;
    }
    totals_.failed = plan_.unreadable.size();
    if (!makeFolders()) return totals_;
    for (std::size_t i = 0; i < plan_.steps.size() && !totals_.stopped; ++i) {
        if (stopAsked()) {
            totals_.stopped = true;
            break;
        }
        if (observer_ != nullptr) observer_->stepStarted(i);
        perform(i);
        settleIfFull();
    }
    settle();
    if (!abandoned_) {
        removeEmptied();
        restoreShapes();
    }
    // Renames and removals need no flush of their own on the way; one at the end makes
    // the whole run durable.
    if (flushTouched().ok()) durable();
    return totals_;
}

ActionResult Executor::openFolderOf(const std::string& path, OpenFolder& out) {
    return folders_.open(folderOf(path), out);
}

// The mirror step: every folder an entry goes to exists before any entry is touched, made
// in its parent's open folder. A folder that cannot be made fails the entries bound for it;
// the target folder itself, or a folder above it, ends the run.
bool Executor::makeFolders() {
    const std::string target = withoutTrailingSlashes(plan_.record.targetFolder);
    for (const std::string& folder : plan_.foldersToMake) {
        std::string problem = folderProblem(folderPart(folder));
        OpenFolder parent;
        if (problem.empty()) {
            const ActionResult opened = openFolderOf(folder, parent);
            if (!opened.ok()) problem = opened.error;
        }
        if (problem.empty()) {
            const std::string name = namePart(folder);
            const ActionResult made = files_.makeFolder(parent, name);
            EntryIdentity there;
            if (made.ok()) {
                touch(parent);
                if (observer_ != nullptr) observer_->folderMade(folder);
            } else if (made.code != EEXIST || readIdentityIn(parent, name, there) != 0 ||
                       there.type != EntryType::Folder) {
                problem = "cannot create folder " + folder + ": " + made.error;
            }
        }
        if (problem.empty()) continue;
        if (isAtOrBelow(target, folder)) {
            totals_.error = cannotRunMessage(plan_.task, problem);
            return false;
        }
        unmade_[folder] = problem;
    }
    return true;
}

// Why that folder could not be made, or empty.
std::string Executor::folderProblem(std::string_view folder) const {
    if (unmade_.empty()) return {};
    const auto found = unmade_.find(withoutTrailingSlashes(folder));
    return found == unmade_.end() ? std::string() : found->second;
}

void Executor::perform(std::size_t index) {
    const PlanStep& step = plan_.steps[index];
    if (step.status == StepStatus::Failed) return report(index, failure(step.error, step.target));
    if (step.status == StepStatus::Merged) {
        if (std::string problem = folderProblem(step.target); !problem.empty()) {
            return report(index, failure(std::move(problem)));
        }
        StepResult result = leftAlone(step);
        return report(index, std::move(result));
    }
    // Left where it is: the planner found the content at the target, or a writer busy.
    if (step.status != StepStatus::Planned) return report(index, leftAlone(step));
    if (!step.target.empty()) {
        if (std::string problem = folderProblem(folderOf(step.target)); !problem.empty()) {
            return report(index, failure(std::move(problem), step.target));
        }
    }
    switch (step.action) {
        case Action::Move:
        case Action::Place:
            return move(index, step);
        case Action::Copy:
            return copy(index, step);
        case Action::Delete:
            return remove(index, step, false);
        case Action::RemoveCopy:
            return remove(index, step, true);
        case Action::Trash:
            return trash(index, step);
        case Action::PutBack:
            return putBack(index, step);
        case Action::None:
            break;
    }
    report(index, failure("nothing to do", step.target));
}

// A fresh target name beside the planned one, for a name taken since planning: the entry's
// next random part after the plan's, in the one form of such names. A plan that found the
// plain name free drew nothing, so the entry's seed is made here.
std::string Executor::freshName(const PlanStep& step, int attempt) const {
    const std::string planned = namePart(step.target);
    const std::uint64_t seed =
        step.nameDraws > 0
            ? step.nameSeed
            : nameSeed(step.identity.device, step.identity.inode, folderPart(step.target), planned);
    const auto draw = step.nameDraws + static_cast<std::uint32_t>(attempt - 1);
    return redrawnName(planned, step.nameDraws > 0, names_.part(seed, draw));
}

// Renames the entry to its target and reports how it went; OtherFileSystem, reporting
// nothing, when the target lies on another file system after all (a bind mount), so that
// the entry is copied instead.
Executor::Renamed Executor::renameInto(std::size_t index, const PlanStep& step,
                                       const OpenFolder& from, const OpenFolder& to) {
    const std::string folder = folderPart(step.target);
    std::string target = namePart(step.target);
    ActionResult outcome;
    EntryIdentity made;
    const int attempts = plan_.exactTargets ? 1 : kAttempts;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt > 0) target = freshName(step, attempt);
        outcome = files_.rename(from, namePart(step.source), step.identity, to, target, made);
        if (outcome.code != EEXIST) break;
    }
    if (outcome.code == EXDEV && step.identity.type != EntryType::Folder) {
        return Renamed::OtherFileSystem;
    }
    touch(from);
    touch(to);
    report(index, outcome.ok()
                      ? done(folder + target, made)
                      : failure(reasonFor(outcome, step, plan_.exactTargets), folder + target));
    return outcome.ok() ? Renamed::Done : Renamed::Failed;
}

void Executor::move(std::size_t index, const PlanStep& step) {
    OpenFolder from, to;
    ActionResult opened = openFolderOf(step.source, from);
    if (opened.ok()) opened = openFolderOf(step.target, to);
    if (!opened.ok()) return report(index, failure(opened.error, step.target));
    if (from->device() == to->device()) {
        if (renameInto(index, step, from, to) != Renamed::OtherFileSystem) return;
    } else if (step.identity.type == EntryType::Folder) {
        return report(index,
                      failure("a folder cannot be moved to another file system", step.target));
    }
    Pending pending;
    pending.index = index;
    pending.to = to;
    pending.targetFolder = folderPart(step.target);
    pending.finalName = namePart(step.target);
    pending.removeSource = true;
    pending.freshNames = !plan_.exactTargets;
    queueCopy(std::move(pending), from, namePart(step.source), step.identity);
}

void Executor::copy(std::size_t index, const PlanStep& step) {
    if (step.identity.type == EntryType::Folder) {
        return report(index, failure(ActionResult::failure(EISDIR).error, step.target));
    }
    OpenFolder from, to;
    ActionResult opened = openFolderOf(step.source, from);
    if (opened.ok()) opened = openFolderOf(step.target, to);
    if (!opened.ok()) return report(index, failure(opened.error, step.target));
    Pending pending;
    pending.index = index;
    pending.to = to;
    pending.targetFolder = folderPart(step.target);
    pending.finalName = namePart(step.target);
    pending.freshNames = !plan_.exactTargets;
    queueCopy(std::move(pending), from, namePart(step.source), step.identity);
}

// A delete removes what the user has (a read-only file stays, as the platform's delete
// leaves it); removing a copy a run made takes it whatever its mode.
void Executor::remove(std::size_t index, const PlanStep& step, bool made) {
    OpenFolder folder;
    ActionResult result = openFolderOf(step.source, folder);
    if (result.ok()) {
        const std::string name = namePart(step.source);
        result = made ? files_.removeMade(folder, name, step.identity)
                      : files_.remove(folder, name, step.identity);
        touch(folder);
    }
    report(index, result.ok() ? done({})
                              : failure(reasonFor(result, step, plan_.exactTargets), step.target));
}

// The trash folder and its files and info folders, made private where missing: at the first
// trash step, once.
ActionResult Executor::ensureTrash() {
    if (trashTried_) return trashState_;
    trashTried_ = true;
    const std::string& trash = plan_.trash.folder;
    const std::optional<std::size_t> root = rootIndexOf(plan_.roots, trash);
    if (trash.empty() || !root) {
        return trashState_ = ActionResult::failure(EINVAL, "No trash can be used");
    }
    // The folders from the root down to the trash folder, then its files and info folders.
    std::vector<std::string> chain;
    for (std::size_t at = plan_.roots[*root].path.size(); at < trash.size();) {
        const std::size_t end = separatorFrom(trash, at + 1);
        chain.push_back(trash.substr(0, end));
        at = end == std::string::npos ? trash.size() : end;
    }
    chain.push_back(trashFilesFolder(trash));
    chain.push_back(trashInfoFolder(trash));
    for (const std::string& folder : chain) {
        OpenFolder parent;
        trashState_ = openFolderOf(folder, parent);
        if (!trashState_.ok()) return trashState_;
        // Folders above the trash folder may be anybody's (a shared .Trash); the trash
        // folder and its two must be this user's own.
        const bool own = folder.size() >= trash.size();
        const ActionResult made = files_.makeFolder(parent, namePart(folder), true);
        if (made.ok()) touch(parent);
        if (!made.ok() && made.code != EEXIST && (own || made.code != EPERM)) {
            return trashState_ = made;
        }
    }
    trashState_ = folders_.open(trashFilesFolder(trash), trashFiles_);
    if (trashState_.ok()) trashState_ = folders_.open(trashInfoFolder(trash), trashInfo_);
    return trashState_;
}

// The path the entry has through the links its root was reached by: what the trash records.
std::string Executor::realPathOf(const std::string& path) const {
    const std::optional<std::size_t> root = rootIndexOf(plan_.roots, path);
    if (!root) return path;
    return plan_.roots[*root].real + path.substr(plan_.roots[*root].path.size());
}

// The entry's record goes into the trash's info folder first; the entry follows once the
// record is on disk, so the trash never holds an entry it cannot say the origin of.
void Executor::trash(std::size_t index, const PlanStep& step) {
    const ActionResult ready = ensureTrash();
    if (!ready.ok()) return report(index, failure(ready.error));
    OpenFolder from;
    const ActionResult opened = openFolderOf(step.source, from);
    if (!opened.ok()) return report(index, failure(opened.error));
    const std::string name = namePart(step.source);
    EntryIdentity now;
    if (const int code = readIdentityIn(from, name, now); code != 0) {
        return report(index, failure(ActionResult::failure(code).error));
    }
    if (!asListed(now, step.identity)) {
        return report(index, failure(failures::changed().error));
    }
    const std::string record = trashInfoText(realPathOf(step.source), now.size, plan_.trash.top);
    Pending pending;
    pending.index = index;
    pending.to = trashFiles_;
    pending.targetFolder = trashFilesFolder(plan_.trash.folder) + "/";
    for (int attempt = 1; attempt <= kTrashAttempts; ++attempt) {
        const TrashNames names = trashNames(name, attempt);
        EntryIdentity taken;
        if (readIdentityIn(trashFiles_, names.file, taken) == 0) continue;
        const ActionResult written = files_.writeNewFile(trashInfo_, names.info, record);
        if (written.code == EEXIST) continue;
        if (!written.ok()) return report(index, failure(written.error));
        pending.finalName = names.file;
        pending.record = names.info;
        break;
    }
    if (pending.finalName.empty()) return report(index, failure("No free name in the trash"));
    touch(trashInfo_);
    if (from->device() != trashFiles_->device()) {
        pending.removeSource = true;
        return queueCopy(std::move(pending), from, name, step.identity);
    }
    pending.kind = Pending::Kind::TrashMove;
    pending.from = from;
    pending.name = name;
    pending.identity = step.identity;
    queueWaiting(std::move(pending));
}

void Executor::removeTrashRecord(const std::string& trashedName) {
    OpenFolder info;
    if (!folders_.open(trashInfoFolder(plan_.trash.folder), info).ok()) return;
    const std::string name = trashInfoName(trashedName);
    EntryIdentity record;
    if (readIdentityIn(info, name, record) != 0) return;
    // The entry is back; a record that outlives it only shows as a broken line in a file
    // manager's trash, which empties it.
    if (files_.removeMade(info, name, record).ok()) touch(info);
}

void Executor::putBack(std::size_t index, const PlanStep& step) {
    OpenFolder from, to;
    ActionResult opened = openFolderOf(step.source, from);
    if (opened.ok()) opened = openFolderOf(step.target, to);
    if (!opened.ok()) return report(index, failure(opened.error, step.target));
    if (from->device() == to->device()) {
        const Renamed renamed = renameInto(index, step, from, to);
        if (renamed == Renamed::Done) removeTrashRecord(namePart(step.source));
        if (renamed != Renamed::OtherFileSystem) return;
    }
    Pending pending;
    pending.index = index;
    pending.to = to;
    pending.targetFolder = folderPart(step.target);
    pending.finalName = namePart(step.target);
    pending.removeSource = true;
    pending.putsBack = true;
    queueCopy(std::move(pending), from, namePart(step.source), step.identity);
}

// Lets go of every handle the run holds to a folder it is about to remove: where a removal
// cannot take the name at once (Windows before 10, some file systems, Wine), Windows takes it
// only when the folder's last handle closes, and a folder whose child still has its name is
// not empty. The folders below it went first, or they keep it from going anyway. The folder
// kept to flush its file system at the end gives way to its parent, on the same one.
void Executor::letGoOf(const std::string& folder, const EntryIdentity& identity,
                       const OpenFolder& parent) {
    folders_.forget(folder);
    const FolderId id{identity.device, identity.inode};
    for (OpenFolder& kept : touched_) {
        if (kept->id() == id && parent->device() == id.device) kept = parent;
    }
}

// Children first, as the plan lists them. A folder with anything left in it stays: that is
// no failure, the run did not empty it.
void Executor::removeEmptied() {
    for (const std::string& folder : plan_.foldersToRemove) {
        OpenFolder parent;
        if (!folderProblem(folder).empty() || !openFolderOf(folder, parent).ok()) continue;
        const std::string name = namePart(folder);
        EntryIdentity now;
        FolderShape shape;
        if (readIdentityIn(parent, name, now) != 0 || now.type != EntryType::Folder ||
            !files_.readShape(parent, name, shape).ok()) {
            continue;
        }
        letGoOf(folder, now, parent);
        if (!files_.removeFolder(parent, name, now).ok()) continue;
        touch(parent);
        if (observer_ != nullptr) observer_->folderRemoved(folder, shape);
    }
}

// After the entries went back in, which changed the folders' times.
void Executor::restoreShapes() {
    for (const auto& [folder, shape] : plan_.shapes) {
        OpenFolder parent;
        if (!openFolderOf(folder, parent).ok()) continue;
        if (files_.giveShape(parent, namePart(folder), shape).ok()) touch(parent);
    }
}

}  // namespace execute

RunTotals executePlan(const RunPlan& plan, const ExecuteOptions& options) {
    return execute::Executor(plan, options).run();
}

}  // namespace kestrune
