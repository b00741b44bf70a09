#include "run/plan_executor.h"

#include <cerrno>
#include <unordered_map>

#include "platform/file_actions.h"
#include "platform/file_io.h"
#include "run/name_source.h"
#include "run/path_rules.h"
#include "run/run_planner.h"

namespace kestrune {

namespace {

// Another program may take a planned name just before the action; the action then fails
// without harm and the entry gets a fresh name.
constexpr int kAttempts = 3;

bool isWithin(const std::string& path, const std::string& folder) {
    return path.size() >= folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           (path.size() == folder.size() || path[folder.size()] == '/');
}

class Executor {
  public:
    Executor(const RunPlan& plan, const ExecuteOptions& options)
        : plan_(plan),
          observer_(options.observer),
          files_(options.files != nullptr ? *options.files : systemFileActions()),
          names_(options.names != nullptr ? *options.names : randomNames()) {}

    RunTotals run() {
        if (!plan_.error.empty()) {
            totals_.error = plan_.error;
            return totals_;
        }
        totals_.failed = plan_.unreadable.size();
        if (!makeFolders()) return totals_;
        std::vector<std::size_t> merged;
        for (std::size_t i = 0; i < plan_.steps.size(); ++i) {
            if (observer_ != nullptr) observer_->stepStarted(i);
            const StepResult result = perform(plan_.steps[i]);
            if (result.status == StepStatus::Merged) merged.push_back(i);
            ++(result.status == StepStatus::Failed ? totals_.failed : totals_.succeeded);
            if (observer_ != nullptr && !observer_->stepDone(i, result)) {
                totals_.stopped = true;
                return totals_;
            }
        }
        if (action() == Action::Move || action() == Action::Delete) removeEmptied(merged);
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

    static StepResult failure(std::string error) {
        StepResult result;
        result.error = std::move(error);
        return result;
    }

    // A folder handled whole may have changed inside; any other entry must be as listed.
    static bool unchanged(const PlanStep& step, const EntryIdentity& now) {
        if (step.identity.type == EntryType::Folder || step.action == Action::Copy) {
            return step.identity.sameEntry(now);
        }
        return step.identity == now;
    }

    StepResult perform(const PlanStep& step) {
        if (step.status == StepStatus::Failed) return failure(step.error);
        if (step.status == StepStatus::Merged) {
            if (const std::string problem = folderProblem(step.target); !problem.empty()) {
                return failure(problem);
            }
            StepResult result;
            result.status = StepStatus::Merged;
            result.target = step.target;
            return result;
        }
        EntryIdentity now;
        if (const int error = readIdentity(step.source, now); error != 0) {
            return failure(systemErrorText(error));
        }
        if (!unchanged(step, now)) return failure("the entry changed since it was listed");
        if (step.action == Action::Delete) return finish(files_.remove(step.source), {});
        if (const std::string problem = folderProblem(folderPart(step.target)); !problem.empty()) {
            StepResult result = failure(problem);
            result.target = step.target;
            return result;
        }
        return place(step);
    }

    // Why that folder could not be made, or empty.
    std::string folderProblem(const std::string& folder) const {
        if (unmade_.empty()) return {};
        const auto found = unmade_.find(withoutTrailingSlashes(folder));
        return found == unmade_.end() ? std::string() : found->second;
    }

    // Moves or copies to the planned target, or to a fresh name when another program took
    // the planned one since.
    StepResult place(const PlanStep& step) {
        std::string target = step.target;
        const std::string folder = folderPart(target);
        const std::string name = step.source.substr(folderPart(step.source).size());
        ActionResult outcome;
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            if (attempt > 0) target = folder + names_.next() + (plan_.record.flat ? "_" : "") + name;
            outcome = step.action == Action::Move ? files_.move(step.source, target)
                                                  : files_.copy(step.source, target);
            if (outcome.code != EEXIST) break;
        }
        return finish(outcome, target);
    }

    static StepResult finish(const ActionResult& outcome, const std::string& target) {
        StepResult result;
        result.target = target;
        if (!outcome.ok()) {
            result.error = outcome.error;
            return result;
        }
        result.status = StepStatus::Done;
        if (!target.empty()) readIdentity(target, result.made);
        return result;
    }

    // Deepest first: a merged folder's own merged subfolders come after it in the plan.
    // A folder with anything left in it stays.
    void removeEmptied(const std::vector<std::size_t>& merged) {
        for (auto it = merged.rbegin(); it != merged.rend(); ++it) {
            const PlanStep& step = plan_.steps[*it];
            EntryIdentity now;
            if (readIdentity(step.source, now) != 0 || !step.identity.sameEntry(now)) continue;
            if (!files_.removeFolder(step.source).ok()) continue;
            if (observer_ != nullptr) observer_->folderRemoved(step.source);
        }
    }

    const RunPlan& plan_;
    ExecutionObserver* observer_;
    FileActions& files_;
    NameSource& names_;
    RunTotals totals_;
    std::unordered_map<std::string, std::string> unmade_;  // folder -> why it was not made
};

}  // namespace

RunTotals executePlan(const RunPlan& plan, const ExecuteOptions& options) {
    return Executor(plan, options).run();
}

}  // namespace kestrune
