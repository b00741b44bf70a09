#include <atomic>
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
#include "run/plan/run_planner.h"
#include "run/service/run_service.h"
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

// Prints the plan itself, line by line as it is planned, so that a preview of many entries
// needs no memory for them.
class PlanPrinter final : public PlanSink {
  public:
    explicit PlanPrinter(LinePrinter& lines) : lines_(lines) {}
    void planned(const PlanStep& step) override {
        lines_.step(step, step.status, step.target, step.error);
        figures.add(step.status);
    }
    void unlisted(const FolderProblem& problem) override {
        lines_.folder(problem);
        ++figures.failed;
    }
    RunFigures figures;

  private:
    LinePrinter& lines_;
};

// Prints a run as it goes: the folders that could not be listed, then each step as it is done.
class RunPrinter final : public RunView {
  public:
    explicit RunPrinter(LinePrinter& lines) : lines_(lines) {}
    void planned(const RunPlan& plan) override {
        for (const FolderProblem& problem : plan.unreadable) lines_.folder(problem);
        lines_.flush();
        steps_.emplace(plan, lines_);
    }
    void stepStarted(std::size_t index) override { steps_->stepStarted(index); }
    bool stepDone(std::size_t index, const StepResult& result) override {
        return steps_->stepDone(index, result);
    }

  private:
    LinePrinter& lines_;
    std::optional<StepPrinter> steps_;
};

std::atomic<bool> stopAsked{false};

void askToStop() {
    stopAsked.store(true);
}

void printError(const std::string& error) {
    std::cout << "error\t" << field(error) << '\n';
    std::cerr << error << '\n';
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
    // Ctrl+C and a termination request stop the run before its next entry, journaled.
    const StopRequests stopRequests(askToStop);
    RunService service(folder);
    // One reading tells which nodes of a subtree have a record: its groups have none.
    const SettingsSnapshot records = SettingsFile(settingsPath(folder)).snapshot();
    if (!preview) printRecovery(service.recover());
    int status = kOk;
    RunFigures total;
    std::size_t tasks = 0;
    LinePrinter lines;
    for (const std::string& task : names) {
        if (stopAsked.load()) break;
        ++tasks;
        std::cout << "task\t" << field(task) << '\n';
        if (subtasks != Subtasks::None && !records.sectionExists(task)) {
            std::cout << "skipped\tno task record\n";
            continue;
        }
        if (preview) {
            PlanPrinter printer(lines);
            PlanOptions options;
            options.sink = &printer;
            options.identities = false;
            if (explain) {
                options.passedOver = [&lines](const std::string& path, std::string_view reason) {
                    lines.passed(path, reason);
                };
            }
            const RunPlan plan = service.plan(task, options);
            lines.flush();
            if (!plan.error.empty()) {
                printError(plan.error);
                status = kCannotRun;
                continue;
            }
            total += printer.figures;
            if (printer.figures.failed > 0 && status == kOk) status = kEntryFailed;
            continue;
        }
        std::cout.flush();
        RunPrinter printer(lines);
        const RunSummary summary = service.runTask(task, &printer, &stopAsked);
        lines.flush();
        printRecovery(summary.recovery);
        if (!summary.error.empty()) {
            printError(summary.error);
            status = kCannotRun;
            continue;
        }
        total += summary.figures;
        if (!summary.journalError.empty()) {
            printError(summary.journalError);
            status = kCannotRun;
        }
        if ((summary.figures.failed > 0 || summary.stopped) && status == kOk) status = kEntryFailed;
    }
    std::cout << (preview ? "Previewed " : "Ran ") << tasks << " task(s): " << figuresText(total)
              << (stopAsked.load() ? ", stopped" : "") << '\n';
    return status;
}

}  // namespace kestrune::cli
