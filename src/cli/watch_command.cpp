#include <atomic>
#include <iostream>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "cli/commands.h"
#include "cli/field_escape.h"
#include "cli/run_lines.h"
#include "platform/stop_requests.h"
#include "run/auto/auto_runner.h"
#include "run/service/run_service.h"
#include "store/program_files.h"
#include "store/task_tree.h"

namespace kestrune::cli {

namespace {

std::atomic<AutoRunner*> watching{nullptr};
std::atomic<bool> stopAsked{false};

// A request to end (Ctrl+C, a termination request) ends the watch between two runs, or a run
// before its next entry.
void stopWatching() {
    stopAsked.store(true);
    if (AutoRunner* runner = watching.load()) runner->stop();
}

// The runner is named before requests are taken, and requests end the process again before
// it is forgotten.
class StopOnRequest {
  public:
    explicit StopOnRequest(AutoRunner& runner) : runner_(runner) {}

  private:
    struct Named {
        explicit Named(AutoRunner& runner) { watching.store(&runner); }
        ~Named() { watching.store(nullptr); }
    };
    const Named runner_;
    const StopRequests requests_{stopWatching};
};

// Prints an automatic run as `run` prints a task: its line, each step, and the figures.
class RunLines final : public RunView {
  public:
    void planned(const RunPlan& plan) override {
        std::cout << "task\t" << field(plan.task) << '\n';
        for (const FolderProblem& problem : plan.unreadable) lines_.folder(problem);
        lines_.flush();
        printer_.emplace(plan, lines_);
    }
    void stepStarted(std::size_t index) override { printer_->stepStarted(index); }
    bool stepDone(std::size_t index, const StepResult& result) override {
        return printer_->stepDone(index, result);
    }
    void ended(const std::string& task, const RunSummary& summary) {
        lines_.flush();
        printRecovery(summary.recovery);
        if (!summary.error.empty()) {
            if (!printer_) std::cout << "task\t" << field(task) << '\n';
            std::cout << "error\t" << field(summary.error) << '\n';
        } else {
            std::cout << "Ran 1 task(s): " << figuresText(summary.figures)
                      << (summary.stopped ? ", stopped" : "") << '\n';
        }
        std::cout.flush();
        printer_.reset();
    }

  private:
    LinePrinter lines_;
    std::optional<StepPrinter> printer_;
};

// Each name must be a node of the tree, as `run` wants it.
bool allNodes(const std::string& folder, const std::vector<std::string>& names) {
    TaskTree tree;
    tree.LoadTreeIfPresent(treePath(folder));
    std::set<std::string> nodes;
    for (const TreeNode* node : tree.allNodes()) nodes.insert(node->text);
    bool all = true;
    for (const std::string& name : names) {
        if (nodes.count(name) != 0) continue;
        std::cerr << "No node named \"" << name << "\" in the task tree\n";
        all = false;
    }
    return all;
}

}  // namespace

int watchCommand(const std::string& folder, const std::vector<std::string>& names) {
    try {
        if (!allNodes(folder, names)) return kCannotRun;
        RunService service(folder);
        printRecovery(service.recover());
        keepRunningWhenOutputCloses();  // as `run`: a reader gone early ends no run midway
        AutoRunnerOptions options;
        options.tasks = names;
        options.notice = [](const AutoNotice& notice) { std::cerr << notice.text << '\n'; };
        RunLines view;
        AutoRunner* self = nullptr;
        AutoRunner runner(
            folder,
            [&](const DueRun& due) {
                const RunSummary summary = service.runAutomatically(due.task, &view, &stopAsked);
                view.ended(due.task, summary);
                // A run of the task by another process is waited for: this one runs later.
                const bool again = summary.stopped || summary.runningElsewhere;
                std::string problem = summary.runningElsewhere ? "" : summary.error;
                if (problem.empty() && summary.figures.failed > 0) {
                    problem = "Task \"" + due.task + "\": " + figuresText(summary.figures);
                }
                self->runEnded(due.task, summary.ownChanges, problem, again);
            },
            std::move(options));
        self = &runner;
        const StopOnRequest stopOnRequest(runner);
        runner.run();
        return kOk;
    } catch (const std::system_error& e) {
        std::cerr << "Cannot watch folders: " << e.what() << '\n';
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
    }
    return kCannotRun;
}

}  // namespace kestrune::cli
