#include "run/service/run_service.h"

#include <cerrno>
#include <cstdint>

#include "platform/file_io.h"
#include "platform/file_lock.h"
#include "run/history/journal.h"
#include "run/history/journaled_run.h"
#include "run/history/run_history.h"
#include "run/history/run_recovery.h"
#include "run/history/run_undo.h"
#include "run/plan/path_rules.h"
#include "run/plan/plan_check.h"
#include "store/errors.h"
#include "store/program_files.h"
#include "store/settings_file.h"

namespace kestrune {

namespace {

// The file a task's run holds locked while it goes, naming its process: one per task, by a
// hash of its name, which letter case does not change, as it does not change the record.
std::string taskLockPath(const std::string& stateFolder, const std::string& task) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : upperAscii(task)) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    static const char digits[] = "0123456789abcdef";
    std::string name = "task-";
    for (int shift = 60; shift >= 0; shift -= 4) name += digits[(hash >> shift) & 15];
    return historyFolderOf(stateFolder) + "/" + name + ".lock";
}

// Passes every report on to the view and keeps the paths the run touched: an automatic run's
// own changes, which the watch is not to take for the user's.
class Watching final : public ExecutionObserver {
  public:
    Watching(const RunPlan& plan, RunView* view, bool keepPaths)
        : plan_(plan), view_(view), keepPaths_(keepPaths) {}

    void folderMade(const std::string& path) override {
        keep(path);
        if (view_ != nullptr) view_->folderMade(path);
    }
    void stepStarted(std::size_t index) override {
        if (view_ != nullptr) view_->stepStarted(index);
    }
    void copied(std::size_t index, const std::string& temporary,
                const EntryIdentity& identity) override {
        keep(folderPart(plan_.steps[index].target) + temporary);
        if (view_ != nullptr) view_->copied(index, temporary, identity);
    }
    void placed(std::size_t index, const StepResult& result) override {
        if (view_ != nullptr) view_->placed(index, result);
    }
    bool stepDone(std::size_t index, const StepResult& result) override {
        if (result.status == StepStatus::Done) {
            keep(plan_.steps[index].source);
            if (!result.target.empty()) keep(result.target);
        }
        return view_ == nullptr || view_->stepDone(index, result);
    }
    void folderRemoved(const std::string& path, const FolderShape& shape) override {
        keep(path);
        if (view_ != nullptr) view_->folderRemoved(path, shape);
    }
    bool durable() override { return view_ == nullptr || view_->durable(); }

    std::vector<std::string> paths;

  private:
    void keep(const std::string& path) {
        if (keepPaths_) paths.push_back(path);
    }

    const RunPlan& plan_;
    RunView* view_;
    bool keepPaths_;
};

}  // namespace

std::string runningElsewhereMessage(const std::string& task, const std::string& process) {
    return "\"" + task + "\" is running in process " + process;
}

RunService::RunService(std::string stateFolder) : stateFolder_(std::move(stateFolder)) {}

std::size_t RunService::historySize() const {
    return historySizeOf(SettingsFile(settingsPath(stateFolder_)));
}

std::vector<std::string> RunService::recover() {
    return recoverInterruptedRuns(stateFolder_);
}

RunPlan RunService::plan(const std::string& task, const PlanOptions& options) const {
    return planTask(SettingsFile(settingsPath(stateFolder_)), task, options);
}

RunSummary RunService::runTask(const std::string& task, RunView* view,
                               const std::atomic<bool>* stop) {
    std::vector<std::string> recovered = recover();
    RunSummary summary = carryOut(RunKind::Task, plan(task), view, stop);
    summary.recovery = std::move(recovered);
    return summary;
}

RunSummary RunService::runAutomatically(const std::string& task, RunView* view,
                                        const std::atomic<bool>* stop) {
    std::vector<std::string> recovered = recover();
    PlanOptions options;
    options.automaticStartNs = automaticStartNow();
    RunSummary summary = carryOut(RunKind::Automatic, plan(task, options), view, stop);
    summary.recovery = std::move(recovered);
    return summary;
}

RunSummary RunService::runPlan(const RunPlan& shown, RunView* view, const std::atomic<bool>* stop) {
    std::vector<std::string> recovered = recover();
    if (const std::string changed = planStillHolds(shown); !changed.empty()) {
        RunSummary summary;
        summary.kind = RunKind::Plan;
        summary.task = shown.task;
        summary.error = "The run was not started: " + changed + ". Preview the task again.";
        summary.recovery = std::move(recovered);
        return summary;
    }
    RunSummary summary = carryOut(RunKind::Plan, shown, view, stop);
    summary.recovery = std::move(recovered);
    return summary;
}

RunSummary RunService::undo(const std::string& id, RunView* view, const std::atomic<bool>* stop) {
    std::vector<std::string> recovered = recover();
    RunSummary summary;
    try {
        const UndoPlan undo = planUndoOf(stateFolder_, id);
        summary = carryOut(RunKind::Undo, undo.plan, view, stop);
    } catch (const UndoError& error) {
        summary.kind = RunKind::Undo;
        summary.error = error.what();
    }
    summary.recovery = std::move(recovered);
    return summary;
}

RunSummary RunService::carryOut(RunKind kind, const RunPlan& plan, RunView* view,
                                const std::atomic<bool>* stop) {
    RunSummary summary;
    summary.kind = kind;
    summary.task = plan.task;
    if (!plan.error.empty()) {
        summary.error = plan.error;
        return summary;
    }
    const std::string lockPath = taskLockPath(stateFolder_, plan.task);
    FileLock running;
    const std::string made = makeStateFolders(historyFolderOf(stateFolder_));
    const int locked =
        made.empty() ? running.tryLockNamed(lockPath, std::to_string(processId())) : EACCES;
    if (locked == EWOULDBLOCK) {
        summary.error = runningElsewhereMessage(plan.task, lockNote(lockPath));
        summary.runningElsewhere = true;
        return summary;
    }
    if (locked != 0) {
        summary.error = "Cannot take the lock of task \"" + plan.task + "\" in " + lockPath + ": " +
                        (made.empty() ? systemErrorText(locked) : made);
        return summary;
    }
    if (view != nullptr) view->planned(plan);
    Watching watching(plan, view, kind == RunKind::Automatic);
    ExecuteOptions options;
    options.observer = &watching;
    options.stop = stop;
    try {
        const JournaledRun run =
            runJournaled(plan, stateFolder_, options, historySize(), plan.undoes);
        summary.figures = run.figures;
        summary.stopped = run.totals.stopped;
        summary.error = run.totals.error;
        summary.journalError = run.journalError;
        summary.journalId = run.journalId;
        summary.journalPath = run.journalPath;
    } catch (const JournalError& error) {
        summary.error = error.what();
    }
    summary.ownChanges = std::move(watching.paths);
    return summary;
}

}  // namespace kestrune
