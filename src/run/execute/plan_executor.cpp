#include "run/execute/plan_executor.h"

#include <cerrno>
#include <deque>
#include <memory>
#include <unordered_map>

#include "platform/file_actions.h"
#include "platform/trash.h"
#include "run/plan/name_form.h"
#include "run/plan/name_source.h"
#include "run/plan/path_rules.h"
#include "run/plan/run_planner.h"

namespace kestrune {

namespace {

// Another program may take a planned name just before the action; the action then fails
// without harm and the entry gets a fresh name.
constexpr int kAttempts = 3;
// Copies wait under temporary names until one flush puts a whole batch on disk; only then
// are they renamed into place. A flush waits for the disk, so batches are large; bounded
// so that a kill loses little work and the folders held open stay well below the limit
// of open files.
constexpr std::size_t kBatchFiles = 4096;
constexpr std::uint64_t kBatchBytes = 256ULL << 20;
constexpr std::size_t kBatchFolders = 256;

bool isWithin(const std::string& path, const std::string& folder) {
    return path.size() >= folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           (path.size() == folder.size() || path[folder.size()] == '/');
}

std::string nameOf(const std::string& path) {
    return path.substr(folderPart(path).size());
}

// One open folder, kept while the steps of that folder go on.
struct CachedFolder {
    std::string relative;
    OpenFolder folder;
    ActionResult opened;
    bool valid = false;
};

// A step carried out, or a copy waiting for its batch's flush, reported in the plan's order.
struct Queued {
    std::size_t index = 0;
    StepResult result;
    bool waiting = false;  // a temporary copy still to be put in place
    bool move = false;
    TemporaryCopy copy;
    OpenFolder from;
    OpenFolder to;
};

StepResult failure(std::string error, std::string target = {}) {
    StepResult result;
    result.error = std::move(error);
    result.target = std::move(target);
    return result;
}

class Executor {
  public:
    Executor(const RunPlan& plan, const ExecuteOptions& options)
        : plan_(plan),
          observer_(options.observer),
          files_(options.files != nullptr ? *options.files : systemFileActions()),
          names_(options.names != nullptr ? *options.names : randomNames()),
          trash_(options.trash),
          sourceRoot_(sourceRootOf(plan.record.sourceFolder)),
          targetRoot_(withoutTrailingSlashes(plan.record.targetFolder) + "/") {}

    RunTotals run() {
        if (!plan_.error.empty()) {
            totals_.error = plan_.error;
            return totals_;
        }
        totals_.failed = plan_.unreadable.size();
        if (!makeFolders()) return totals_;
        for (std::size_t i = 0; i < plan_.steps.size() && !totals_.stopped; ++i) {
            if (observer_ != nullptr) observer_->stepStarted(i);
            perform(i);
            if (waitingCopies_ >= kBatchFiles || waitingBytes_ >= kBatchBytes ||
                heldFolders_ >= kBatchFolders) {
                settle();
            }
        }
        settle();
        if (!totals_.stopped && action() != Action::Copy) {
            removeEmptied();
        }
        // Renames and removals need no flush of their own on the way; one at the end makes
        // the whole run durable.
        if (flushTouched().ok() && observer_ != nullptr) observer_->durable();
        return totals_;
    }

  private:
    Action action() const { return static_cast<Action>(plan_.record.action); }

    // The mirror step: every folder an entry goes to exists before any entry is touched.
    // A folder that cannot be made fails the entries bound for it; the target folder
    // itself, or a folder above it, ends the run.
    bool makeFolders() {
        const std::string target = withoutTrailingSlashes(plan_.record.targetFolder);
        for (const std::string& folder : plan_.foldersToMake) {
            std::string problem = folderProblem(folderPart(folder));
            if (problem.empty()) {
                const ActionResult made = files_.makeFolder(folder);
                if (made.ok()) {
                    if (observer_ != nullptr) observer_->folderMade(folder);
                } else if (made.code != EEXIST || !files_.isFolder(folder)) {
                    problem = "cannot create folder " + folder + ": " + made.error;
                }
            }
            if (problem.empty()) continue;
            if (isWithin(target, folder)) {
                totals_.error = cannotRunMessage(plan_.task, problem);
                return false;
            }
            unmade_[folder] = problem;
        }
        return true;
    }

    // Why that folder could not be made, or empty.
    std::string folderProblem(const std::string& folder) const {
        if (unmade_.empty()) return {};
        const auto found = unmade_.find(withoutTrailingSlashes(folder));
        return found == unmade_.end() ? std::string() : found->second;
    }

    // The open folder of a path below root; opened once for all the steps in it.
    const ActionResult& open(const std::string& root, const std::string& path,
                             CachedFolder& cache) {
        const std::string folder = folderPart(path);
        const std::string relative = folder.size() > root.size() ? folder.substr(root.size()) : "";
        if (!cache.valid || cache.relative != relative) {
            cache.relative = relative;
            cache.folder.reset();
            cache.opened = files_.openFolder(root, relative, cache.folder);
            cache.valid = true;
            if (!queue_.empty()) ++heldFolders_;
        }
        return cache.opened;
    }

    void touch(const OpenFolder& folder) {
        for (const OpenFolder& known : touched_) {
            if (known->device() == folder->device()) return;
        }
        touched_.push_back(folder);
    }

    void perform(std::size_t index) {
        const PlanStep& step = plan_.steps[index];
        if (step.status == StepStatus::Failed) return report(index, failure(step.error));
        if (step.status == StepStatus::Merged) {
            if (std::string problem = folderProblem(step.target); !problem.empty()) {
                return report(index, failure(std::move(problem)));
            }
            StepResult result;
            result.status = StepStatus::Merged;
            result.target = step.target;
            return report(index, std::move(result));
        }
        // Left where it is: the planner found the content at the target, or a writer busy.
        if (step.status == StepStatus::Same || step.status == StepStatus::Busy) {
            StepResult result;
            result.status = step.status;
            result.target = step.target;
            return report(index, std::move(result));
        }
        const ActionResult& source = open(sourceRoot_, step.source, source_);
        if (!source.ok()) return report(index, failure(source.error, step.target));
        const std::string name = nameOf(step.source);
        if (step.action == Action::Trash) return report(index, putInTrash(step, name));
        if (step.action == Action::Delete) {
            touch(source_.folder);
            const ActionResult removed = files_.remove(source_.folder, name, step.identity);
            return report(index, removed.ok() ? done({}) : failure(removed.error));
        }
        if (std::string problem = folderProblem(folderPart(step.target)); !problem.empty()) {
            return report(index, failure(std::move(problem), step.target));
        }
        const ActionResult& target = open(targetRoot_, step.target, target_);
        if (!target.ok()) return report(index, failure(target.error, step.target));
        touch(target_.folder);
        if (step.action == Action::Move) {
            touch(source_.folder);
            if (source_.folder->device() == target_.folder->device()) {
                if (rename(index, step, name)) return;
            } else if (step.identity.type == EntryType::Folder) {
                return report(
                    index, failure("a folder cannot be moved to another file system", step.target));
            }
        }
        startCopy(index, step, name);
    }

    // The trash works on paths, so the entry is checked through its open folder just before.
    StepResult putInTrash(const PlanStep& step, const std::string& name) {
        EntryIdentity now;
        if (const int code = readIdentityIn(source_.folder, name, now); code != 0) {
            return failure(ActionResult::failure(code).error);
        }
        if (!asListed(now, step.identity)) return failure("the entry changed since it was listed");
        if (trash_ == nullptr) {
            ownTrash_ = makeTrash(homeTrashFolder());
            trash_ = ownTrash_.get();
        }
        touch(source_.folder);
        const TrashResult put = trash_->put(step.source);
        if (!put.result.ok()) return failure(put.result.error);
        // The .trashinfo is not flushed on its own: the trash's file system is flushed with
        // the rest of the run.
        const std::string files = folderPart(put.place.file);
        if (trashFolder_.relative != files) {
            trashFolder_.relative = files;
            trashFolder_.folder.reset();
            trashFolder_.opened = files_.openFolder(files, "", trashFolder_.folder);
        }
        if (trashFolder_.opened.ok()) touch(trashFolder_.folder);
        StepResult result = done(put.place.file);
        readIdentity(put.place.file, result.made);
        return result;
    }

    StepResult done(std::string target) {
        StepResult result;
        result.status = StepStatus::Done;
        result.target = std::move(target);
        return result;
    }

    // A fresh target name beside the planned one, for a name taken since planning: the
    // entry's next random part after the plan's, in the one form of such names. A plan that
    // found the plain name free drew nothing, so the entry's seed is made here.
    std::string freshName(const PlanStep& step, int attempt) {
        const std::string planned = nameOf(step.target);
        const std::uint64_t seed = step.nameDraws > 0
                                       ? step.nameSeed
                                       : nameSeed(step.identity.device, step.identity.inode,
                                                  folderPart(step.target), planned);
        const auto draw = step.nameDraws + static_cast<std::uint32_t>(attempt - 1);
        return redrawnName(planned, step.nameDraws > 0, names_.part(seed, draw));
    }

    // False when the rename found the target on another file system after all (a bind
    // mount), so that the entry is copied instead.
    bool rename(std::size_t index, const PlanStep& step, const std::string& name) {
        const std::string folder = folderPart(step.target);
        std::string target = nameOf(step.target);
        ActionResult outcome;
        EntryIdentity made;
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            if (attempt > 0) target = freshName(step, attempt);
            outcome =
                files_.rename(source_.folder, name, step.identity, target_.folder, target, made);
            if (outcome.code != EEXIST) break;
        }
        if (outcome.code == EXDEV && step.identity.type != EntryType::Folder) return false;
        StepResult result =
            outcome.ok() ? done(folder + target) : failure(outcome.error, folder + target);
        result.made = made;
        report(index, std::move(result));
        return true;
    }

    void startCopy(std::size_t index, const PlanStep& step, const std::string& name) {
        Queued queued;
        queued.index = index;
        queued.move = step.action == Action::Move;
        const ActionResult copied = files_.copyToTemporary(
            source_.folder, name, step.identity, !queued.move, target_.folder, queued.copy);
        if (!copied.ok()) return report(index, failure(copied.error, step.target));
        queued.result.target = step.target;
        queued.waiting = true;
        queued.from = source_.folder;
        queued.to = target_.folder;
        ++waitingCopies_;
        waitingBytes_ += queued.copy.size;
        queue_.push_back(std::move(queued));
    }

    // Results wait behind the copies before them, so the observer hears of every step in
    // the plan's order.
    void report(std::size_t index, StepResult result) {
        if (queue_.empty()) return deliver(index, result);
        Queued queued;
        queued.index = index;
        queued.result = std::move(result);
        queue_.push_back(std::move(queued));
    }

    void deliver(std::size_t index, const StepResult& result) {
        if (result.status == StepStatus::Merged) merged_.push_back(index);
        ++(result.status == StepStatus::Failed ? totals_.failed : totals_.succeeded);
        ++sinceDurable_;
        if (observer_ != nullptr && !observer_->stepDone(index, result)) totals_.stopped = true;
    }

    // Returns the first failure; every file system touched is flushed all the same.
    ActionResult flushTouched() {
        ActionResult first;
        for (const OpenFolder& folder : touched_) {
            const ActionResult flushed = files_.flush(folder);
            if (first.ok() && !flushed.ok()) first = flushed;
        }
        touched_.clear();
        return first;
    }

    // One flush for the batch: the waiting copies' data, and whatever was reported before,
    // reach the disk; then the copies go into place.
    void settle() {
        if (queue_.empty()) return;
        const ActionResult flushed = flushTouched();
        if (flushed.ok() && observer_ != nullptr && sinceDurable_ > 0) observer_->durable();
        sinceDurable_ = 0;
        while (!queue_.empty()) {
            Queued queued = std::move(queue_.front());
            queue_.pop_front();
            if (!queued.waiting) {
                deliver(queued.index, queued.result);
                continue;
            }
            if (totals_.stopped || !flushed.ok()) {
                files_.discardTemporary(queued.to, queued.copy);
                if (!totals_.stopped)
                    deliver(queued.index, failure(flushed.error, queued.result.target));
                continue;
            }
            place(queued);
            deliver(queued.index, queued.result);
        }
        waitingCopies_ = 0;
        waitingBytes_ = 0;
        heldFolders_ = 0;
    }

    void place(Queued& queued) {
        const PlanStep& step = plan_.steps[queued.index];
        const std::string folder = folderPart(step.target);
        std::string target = nameOf(step.target);
        ActionResult outcome;
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            if (attempt > 0) target = freshName(step, attempt);
            outcome = files_.placeTemporary(queued.to, queued.copy, target, queued.result.made);
            if (outcome.code != EEXIST) break;
        }
        queued.result.target = folder + target;
        if (!outcome.ok()) {
            files_.discardTemporary(queued.to, queued.copy);
            queued.result.error = outcome.error;
            return;
        }
        touch(queued.to);
        if (queued.move) {
            touch(queued.from);
            // A source changed since its copy began stays beside the complete copy.
            const ActionResult removed =
                files_.removeCopiedSource(queued.from, nameOf(step.source), queued.copy);
            if (!removed.ok()) {
                queued.result.error = removed.error;
                return;
            }
        }
        queued.result.status = StepStatus::Done;
    }

    // Deepest first: a merged folder's own merged subfolders come after it in the plan.
    // A folder with anything left in it stays.
    void removeEmptied() {
        for (auto it = merged_.rbegin(); it != merged_.rend(); ++it) {
            const PlanStep& step = plan_.steps[*it];
            if (!open(sourceRoot_, step.source, source_).ok()) continue;
            touch(source_.folder);
            if (!files_.removeFolder(source_.folder, nameOf(step.source), step.identity).ok()) {
                continue;
            }
            if (observer_ != nullptr) observer_->folderRemoved(step.source);
        }
    }

    const RunPlan& plan_;
    ExecutionObserver* observer_;
    FileActions& files_;
    NameSource& names_;
    Trash* trash_;
    std::unique_ptr<Trash> ownTrash_;  // the desktop's, made at the first trashed entry
    CachedFolder trashFolder_;         // its files/ folder, flushed with the run
    const std::string sourceRoot_;
    const std::string targetRoot_;
    RunTotals totals_;
    std::unordered_map<std::string, std::string> unmade_;  // folder -> why it was not made
    CachedFolder source_;
    CachedFolder target_;
    std::vector<OpenFolder> touched_;  // one folder per file system written since the last flush
    std::deque<Queued> queue_;
    std::size_t waitingCopies_ = 0;
    std::uint64_t waitingBytes_ = 0;
    std::size_t heldFolders_ = 0;   // folders opened while copies wait, held by them
    std::size_t sinceDurable_ = 0;  // steps reported since the last flush
    std::vector<std::size_t> merged_;
};

}  // namespace

RunTotals executePlan(const RunPlan& plan, const ExecuteOptions& options) {
    return Executor(plan, options).run();
}

}  // namespace kestrune
