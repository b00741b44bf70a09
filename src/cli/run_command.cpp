#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "cli/field_escape.h"
#include "cli/run_lines.h"
#include "platform/stop_requests.h"
#include "run/execute/plan_executor.h"
#include "run/history/journal.h"
#include "run/history/journaled_run.h"
#include "run/history/run_history.h"
#include "run/plan/run_planner.h"
#include "store/errors.h"
#include "store/program_files.h"
#include "store/settings_file.h"
#include "store/task_record.h"
#include "store/task_tree.h"

namespace kestrune::cli {

namespace {

// The task names a command runs, in order: the node itself and/or its subtree in pre-order.
std::vector<std::string> taskNames(const std::string& folder, const std::string& name,
                                   Subtasks subtasks) {
    if (subtasks == Subtasks::None) return {name};
    TaskTree tree;
    tree.LoadTreeIfPresent(treePath(folder));
    for (TreeNode* node : tree.allNodes()) {
        if (node->text != name) continue;
        std::vector<std::string> names;
        for (TreeNode* member : TaskTree::preOrder(node)) names.push_back(member->text);
        if (subtasks == Subtasks::Only) names.erase(names.begin());
        return names;
    }
    throw Error("No node named \"" + name + "\" in the task tree");
}

struct TaskCounts {
    std::size_t done = 0;
    std::size_t failed = 0;
};

// Prints the plan itself, line by line as it is planned, so that a preview of many entries
// needs no memory for them.
class PlanPrinter final : public PlanSink {
  public:
    explicit PlanPrinter(LinePrinter& lines) : lines_(lines) {}
    void planned(const PlanStep& step) override {
        lines_.step(step, step.status, step.target, step.error);
        ++(step.status == StepStatus::Failed ? counts.failed : counts.done);
    }
    void unlisted(const FolderProblem& problem) override {
        lines_.folder(problem);
        ++counts.failed;
    }
    TaskCounts counts;

  private:
    LinePrinter& lines_;
};

// Carries the plan out, each line as its step is done. Nullopt when the run cannot start.
// The run's journal goes to the state folder's history first; a run whose journal cannot be
// written does not act.
std::optional<TaskCounts> execute(const RunPlan& plan, LinePrinter& lines,
                                  const std::string& folder, std::size_t historySize) {
    for (const FolderProblem& problem : plan.unreadable) lines.folder(problem);
    lines.flush();  // the task's line too
    StepPrinter printer(plan, lines);
    ExecuteOptions options;
    options.observer = &printer;
    RunTotals totals;
    try {
        totals = runJournaled(plan, folder, options, historySize).totals;
    } catch (const JournalError& e) {
        std::cout << "error\t" << field(e.what()) << '\n';
        std::cerr << e.what() << '\n';
        return std::nullopt;
    }
    if (!totals.error.empty()) {
        std::cout << "error\t" << field(totals.error) << '\n';
        std::cerr << totals.error << '\n';
        return std::nullopt;
    }
    return TaskCounts{totals.succeeded, totals.failed};
}

}  // namespace

int runCommand(const std::string& folder, const std::string& name, bool preview, bool explain,
               Subtasks subtasks) {
    std::vector<std::string> names;
    try {
        names = taskNames(folder, name, subtasks);
    } catch (const Error& e) {
        std::cerr << e.what() << '\n';
        return kCannotRun;
    }
    // The entries are printed while the run goes on. A reader that goes away early
    // (`| head`) must not end the run between two entries: the rest of the output is lost,
    // the run is done to its end as ever.
    keepRunningWhenOutputCloses();
    const SettingsFile settings(settingsPath(folder));
    // One reading gives every task's record, as the window reads them when it queues its runs:
    // a file read again for each task of a large subtree costs more than the runs.
    const SettingsSnapshot records = settings.snapshot();
    const std::size_t historySize = historySizeOf(settings);
    if (!preview) reportRecovery(folder);
    int status = kOk;
    TaskCounts total;
    LinePrinter lines;
    for (const std::string& task : names) {
        std::cout << "task\t" << field(task) << '\n';
        const std::optional<TaskRecord> record = readTaskRecord(records, task);
        if (subtasks != Subtasks::None && !record) {
            std::cout << "skipped\tno task record\n";
            continue;
        }
        PlanPrinter printer(lines);
        PlanOptions options;
        if (preview) {
            options.sink = &printer;
            options.identities = false;
        }
        if (explain) {
            options.passedOver = [&lines](const std::string& path, std::string_view reason) {
                lines.passed(path, reason);
            };
        }
        // planTask words the error of a task without a record.
        const RunPlan plan =
            record ? planRecord(*record, task, options) : planTask(settings, task, options);
        lines.flush();
        std::optional<TaskCounts> counts;
        if (!plan.error.empty()) {
            std::cout << "error\t" << field(plan.error) << '\n';
            std::cerr << plan.error << '\n';
        } else if (preview) {
            counts = printer.counts;
        } else {
            counts = execute(plan, lines, folder, historySize);
        }
        if (!counts) {
            status = kCannotRun;
            continue;
        }
        total.done += counts->done;
        total.failed += counts->failed;
        if (counts->failed > 0 && status == kOk) status = kEntryFailed;
    }
    std::cout << (preview ? "Planned " : "Done: ") << total.done << " entries, " << total.failed
              << " failed, in " << names.size() << " task(s)\n";
    return status;
}

}  // namespace kestrune::cli
