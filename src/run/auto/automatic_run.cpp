#include "run/auto/automatic_run.h"

#include "run/history/journal.h"
#include "run/history/journaled_run.h"
#include "run/history/run_history.h"
#include "run/plan/path_rules.h"
#include "run/plan/run_planner.h"
#include "store/errors.h"
#include "store/program_files.h"
#include "store/settings_file.h"
#include "store/task_record.h"

namespace kestrune {

namespace {

// Gathers the paths the run touches and passes every report on to the view's observer.
class OwnChanges final : public ExecutionObserver {
  public:
    OwnChanges(const RunPlan& plan, ExecutionObserver* next) : plan_(plan), next_(next) {}

    void folderMade(const std::string& path) override {
        paths.push_back(path);
        if (next_ != nullptr) next_->folderMade(path);
    }
    void stepStarted(std::size_t index) override {
        if (next_ != nullptr) next_->stepStarted(index);
    }
    bool stepDone(std::size_t index, const StepResult& result) override {
        if (result.status == StepStatus::Done) {
            paths.push_back(plan_.steps[index].source);
            if (!result.target.empty()) paths.push_back(result.target);
        }
        return next_ == nullptr || next_->stepDone(index, result);
    }
    void folderRemoved(const std::string& path, const FolderShape& shape) override {
        paths.push_back(path);
        if (next_ != nullptr) next_->folderRemoved(path, shape);
    }
    // A copy waits under a temporary name in its target folder: the watch sees it come.
    void copied(std::size_t index, const std::string& temporary,
                const EntryIdentity& identity) override {
        paths.push_back(folderPart(plan_.steps[index].target) + temporary);
        if (next_ != nullptr) next_->copied(index, temporary, identity);
    }
    void placed(std::size_t index, const StepResult& result) override {
        if (next_ != nullptr) next_->placed(index, result);
    }
    bool durable() override { return next_ == nullptr || next_->durable(); }

    std::vector<std::string> paths;

  private:
    const RunPlan& plan_;
    ExecutionObserver* next_;
};

std::string failedEntries(const std::string& task, std::size_t failed) {
    return "Task \"" + task + "\": " + std::to_string(failed) +
           (failed == 1 ? " entry" : " entries") + " failed";
}

}  // namespace

AutoRunOutcome runAutomatically(const std::string& stateFolder, const std::string& task,
                                AutoRunView* view) {
    AutoRunOutcome outcome;
    const SettingsFile settings(settingsPath(stateFolder));
    PlanOptions planning;
    planning.automaticStartNs = automaticStartNow();
    const RunPlan plan = planTask(settings, task, planning);
    RunTotals totals;
    if (!plan.error.empty()) {
        totals.error = plan.error;
    } else {
        OwnChanges own(plan, view != nullptr ? view->planned(plan) : nullptr);
        ExecuteOptions options;
        options.observer = &own;
        try {
            const JournaledRun run =
                runJournaled(plan, stateFolder, options, historySizeOf(settings));
            totals = run.totals;
            outcome.journalId = run.journalId;
        } catch (const JournalError& e) {
            totals.error = e.what();
        }
        outcome.ownChanges = std::move(own.paths);
    }
    if (!totals.error.empty()) {
        outcome.problem = totals.error;
    } else if (totals.failed > 0) {
        outcome.problem = failedEntries(task, totals.failed);
    }
    if (view != nullptr) view->ended(plan, totals);
    return outcome;
}

}  // namespace kestrune
