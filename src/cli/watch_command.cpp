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
#include "run/auto/automatic_run.h"
#include "store/program_files.h"
#include "store/task_tree.h"

namespace kestrune::cli {

namespace {

std::atomic<AutoRunner*> watching{nullptr};

void stopWatching() {
    if (AutoRunner* runner = watching.load()) runner->stop();
}

// A request to end (Ctrl+C, a termination request) ends the watch between two runs, or a run
// between two entries. The runner is named before requests are taken, and requests end the
// process again before it is forgotten.
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

// Prints an automatic run as `run` prints a task: its line, each step, and the totals.
class RunLines final : public AutoRunView {
  public:
    explicit RunLines(const AutoRunner& runner) : runner_(runner) {}

    ExecutionObserver* planned(const RunPlan& plan) override {
        std::cout << "task\t" << field(plan.task) << '\n';
        for (const FolderProblem& problem : plan.unreadable) lines_.folder(problem);
        lines_.flush();
        printer_.emplace(plan, lines_);
        stopper_.runner = &runner_;
        stopper_.next = &*printer_;
        return &stopper_;
    }
    void ended(const RunPlan& plan, const RunTotals& totals) override {
        if (!totals.error.empty()) {
            if (!printer_) std::cout << "task\t" << field(plan.task) << '\n';
            std::cout << "error\t" << field(totals.error) << '\n';
        } else {
            std::cout << "Done: " << totals.succeeded << " entries, " << totals.failed
                      << " failed, in 1 task(s)\n";
        }
        std::cout.flush();
        printer_.reset();
    }

  private:
    // A signal ends the run after the entry it is on; the journal tells how far it went.
    struct StopWhenAsked final : ExecutionObserver {
        bool stepDone(std::size_t index, const StepResult& result) override {
            return next->stepDone(index, result) && !runner->stopped();
        }
        const AutoRunner* runner = nullptr;
        ExecutionObserver* next = nullptr;
    };

    const AutoRunner& runner_;
    LinePrinter lines_;
    std::optional<StepPrinter> printer_;
    StopWhenAsked stopper_;
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
        reportRecovery(folder);
        keepRunningWhenOutputCloses();  // as `run`: a reader gone early ends no run midway
        AutoRunnerOptions options;
        options.tasks = names;
        options.notice = [](const AutoNotice& notice) { std::cerr << notice.text << '\n'; };
        std::optional<RunLines> view;
        AutoRunner* self = nullptr;
        AutoRunner runner(
            folder,
            [&](const DueRun& due) {
                const AutoRunOutcome outcome = runAutomatically(folder, due.task, &*view);
                self->runEnded(due.task, outcome.ownChanges, outcome.problem);
            },
            std::move(options));
        self = &runner;
        view.emplace(runner);
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
